// UTF-16 text, ranges and the small text helpers every subsystem uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vmk {

using UString = std::u16string;
using UStringView = std::u16string_view;

// Hashes a text by its view, so that a set or map keyed by UString can be searched with a
// UStringView without making a string of it (with std::equal_to<>).
struct UStringViewHash {
  using is_transparent = void;
  size_t operator()(UStringView text) const { return std::hash<UStringView>()(text); }
};
using UChar16 = char16_t;

// "Not found" as a range location.
inline constexpr uint32_t kNotFound = 0x7FFFFFFF;

// A span of UTF-16 code units of one text.
struct Range {
  uint32_t location = 0;
  uint32_t length = 0;

  constexpr Range() = default;
  constexpr Range(uint32_t loc, uint32_t len) : location(loc), length(len) {}
  static constexpr Range notFound() { return Range(kNotFound, 0); }

  constexpr uint32_t max() const { return location + length; }
  constexpr bool found() const { return location != kNotFound; }
  constexpr bool containsLocation(uint32_t loc) const { return loc >= location && loc < max(); }
  friend constexpr bool operator==(const Range&, const Range&) = default;
};

// UTF-8 <-> UTF-16. Ill-formed input is replaced with U+FFFD, never rejected.
UString toUtf16(std::string_view utf8);
// Bytes widened one to one into UTF-16 code units (read as Latin-1), so that ASCII markup in
// bytes of an unknown encoding can be searched.
UString widenBytes(std::string_view bytes);
std::string toUtf8(UStringView utf16);

// Unicode case mapping (root locale), as a text's uppercase/lowercase form.
UString uppercase(UStringView text);
UString lowercase(UStringView text);
// ASCII-only case mapping for names that are known to be ASCII-heavy; other units unchanged.
UString asciiUppercase(UStringView text);
UString asciiLowercase(UStringView text);

// Case-insensitive comparison by Unicode case folding: <0, 0, >0.
int caseInsensitiveCompare(UStringView a, UStringView b);

// True when the texts are equal; ignoring case when caseIgnore is set, exactly otherwise.
bool isEqualToString(UStringView a, UStringView b, bool caseIgnore);
// True when a text of the list equals the text in the sense of isEqualToString.
bool containsStringObject(const std::vector<UString>& list, UStringView text, bool caseIgnore);
// The last UTF-16 code unit of the text, 0 for an empty text.
inline UChar16 lastCharacter(UStringView text) {
  return text.empty() ? 0 : text.back();
}

// The position of the first `unit` at or after `from`, or UStringView::npos; the same answer
// as text.find(unit, from), several code units at a time.
size_t findCodeUnit(UStringView text, UChar16 unit, size_t from = 0);
// The first position at or after `from` holding one of the three units; npos when none does.
size_t findAnyOfThreeCodeUnits(UStringView text, UChar16 a, UChar16 b, UChar16 c, size_t from = 0);

// Substring by range, clamped to the text (never reads past its end).
UStringView substringWithRange(UStringView text, Range range);

// A reader's handle on a text that someone else owns and may change: it reads the owner's
// text while that stays as it was, and its own copy once the owner has changed or dropped it.
// The owner calls detach before the change (handing over a copy, or the text itself when it
// goes away), so a large text is copied only when it changes while a handle lives.
class TextSnapshot {
 public:
  explicit TextSnapshot(const UString& shared) : text_(&shared) {}
  TextSnapshot(const TextSnapshot&) = delete;
  TextSnapshot& operator=(const TextSnapshot&) = delete;

  // The characters as they were when the handle was made. The object may be another one after
  // the owner changed its text: ask again rather than keep the reference. The characters of a
  // text longer than a few units stay where they were (the owner that changes its text goes on
  // with a copy), so views of them stay valid as long as the handle.
  const UString& text() const { return *text_; }
  void detach(UString own) {
    own_ = std::move(own);
    text_ = &own_;
  }
  bool detached() const { return text_ == &own_; }

 private:
  const UString* text_;
  UString own_;
};

// Decimal formatting into UTF-16 ("%d").
UString toUString(int64_t value);

}  // namespace vmk
