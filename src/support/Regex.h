// Regular expressions over UTF-16 text, Ruby syntax (Oniguruma).
//
// "^" and "$" match at every line; a dot matches a line feed only with kMultiline.
// Patterns are compiled once: keep a Regex as a static constant or use Regex::cached().
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "support/Text.h"

namespace vmk {

class RegexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One match: the ranges of group 0 (whole match) and of the capture groups.
class RegexMatch {
 public:
  RegexMatch() = default;
  explicit RegexMatch(std::vector<Range> groups) : groups_(std::move(groups)) {}

  // Range of group i; Range::notFound() when the group did not take part or does not exist.
  Range range(size_t group = 0) const;
  // Text of group i in the searched text; absent when the group did not take part.
  std::optional<UString> text(UStringView searched, size_t group = 0) const;
  size_t groupCount() const { return groups_.size(); }

 private:
  std::vector<Range> groups_;
};

class Regex {
 public:
  enum Option : unsigned { kNone = 0, kIgnoreCase = 1u << 0, kMultiline = 1u << 1 };

  // Compiles the pattern; throws RegexError when it is not a valid expression.
  explicit Regex(UStringView pattern, unsigned options = kNone);
  explicit Regex(std::string_view utf8Pattern, unsigned options = kNone);
  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // A process-wide compiled instance for (pattern, options), compiled on first use.
  static const Regex& cached(std::string_view utf8Pattern, unsigned options = kNone);

  // First match at or after the start of the search range (whole text by default), not
  // extending beyond the range's end. Look-behind and "^" see the text before the range.
  std::optional<RegexMatch> firstMatch(UStringView text) const;
  std::optional<RegexMatch> firstMatch(UStringView text, Range searchRange) const;
  // True when the pattern matches somewhere in the text.
  bool matches(UStringView text) const { return firstMatch(text).has_value(); }
  // All non-overlapping matches in order (an empty match advances by one code unit).
  std::vector<RegexMatch> allMatches(UStringView text) const;
  std::vector<RegexMatch> allMatches(UStringView text, Range searchRange) const;
  // Calls fn for each match in order; stops early when fn returns false.
  void forEachMatch(UStringView text, Range searchRange,
                    const std::function<bool(const RegexMatch&)>& fn) const;

  // Replaces every match with a fixed text.
  UString replaceAllFixed(UStringView text, UStringView replacement) const;
  // Replaces every match with a template in which \0..\9 stand for groups (an unmatched
  // group gives the empty text) and \\ for one backslash.
  UString replaceAllTemplate(UStringView text, UStringView replacementTemplate) const;

  unsigned options() const { return options_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  unsigned options_ = kNone;
};

}  // namespace vmk
