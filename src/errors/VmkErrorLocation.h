// One problem found in a checked object: which error (a catalogue code), where (a range of the
// object's text), with which message arguments, and in which object. Number, level, repair
// flag and message texts are looked up on every request, so catalogue changes apply at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "support/Text.h"

namespace vmk {

class HostDocument;

// The checked object: nothing, the host document (not owned), or the file path / remote URL
// of a document that was closed since.
using ErrorParent = std::variant<std::monostate, HostDocument*, std::string>;

class VmkErrorLocation {
 public:
  // subStrings: absent when the check gave none.
  VmkErrorLocation(std::string_view errorCode, Range errorRange,
                   std::optional<std::vector<UString>> subStrings, ErrorParent parent);

  // The code as internedErrorCode gave it (no look-up).
  VmkErrorLocation(const std::string* internedCode, Range errorRange,
                   std::optional<std::vector<UString>> subStrings, ErrorParent parent);

  static std::shared_ptr<VmkErrorLocation> create(
      std::string_view errorCode, Range errorRange,
      std::optional<std::vector<UString>> subStrings = std::nullopt, ErrorParent parent = {});

  const std::string& errorCode() const { return *errorCode_; }
  Range errorRange() const { return errorRange_; }
  // Does not touch the cached line index; call resetErrorParagraphIndex() afterwards.
  void setErrorRange(Range range) { errorRange_ = range; }

  const std::optional<std::vector<UString>>& subStrings() const { return subStrings_; }
  // The substring at a 0-based index; "" when there is none.
  UString subStringAtIndex(size_t index) const;

  const ErrorParent& parent() const { return parent_; }
  void setParent(ErrorParent parent) { parent_ = std::move(parent); }
  // The parent document, or nullptr when the parent is a path / URL or nothing.
  HostDocument* parentDocument() const;

  // From the current catalogue of the shared settings store.
  UString errorNumber() const;
  UString errorNumberString() const { return errorNumber(); }
  int errorLevel() const;  // 0 when the code has no record
  int errorFix() const;    // -1 when the code has no record

  // The message templates with %1, %2, ... filled from the substrings; the code itself when
  // the table lacks it.
  UString errorTitle() const;
  UString errorDescription() const;

  // 0-based line (line feeds before the range's start) of the parent document's current
  // text, computed once and cached; -1 when the parent is not a document and nothing was
  // computed before.
  int32_t errorParagraphIndex();
  // Recomputes the line index from the parent document's current text; nothing for a
  // path / URL parent.
  void resetErrorParagraphIndex();
  // The cached value as it stands (-1: not computed).
  int32_t cachedErrorParagraphIndex() const { return errorParaIndex_; }

 private:
  // Codes are few: each spelling is stored once for the process (see internedErrorCode), and
  // the many records of a large document point to it.
  const std::string* errorCode_;
  Range errorRange_;
  std::optional<std::vector<UString>> subStrings_;
  ErrorParent parent_;
  int32_t errorParaIndex_ = -1;
};

using VmkErrorLocationRef = std::shared_ptr<VmkErrorLocation>;
using VmkErrorLocationList = std::vector<VmkErrorLocationRef>;

// The one stored copy of an error code's spelling, kept for the rest of the process; safe from
// any thread.
const std::string& internedErrorCode(std::string_view code);

// Fills %1, %2, ... in increasing order, each over the result of the previous step; with no
// substrings the template is returned unchanged.
UString fillErrorMessagePlaceholders(UStringView templ,
                                     const std::optional<std::vector<UString>>& subStrings);

// The same filling written straight to `out` as UTF-8, from the template as UTF-8 (made from a
// template without unpaired surrogates, which a substring could complete). False (and
// `out` unspecified) where the direct way could differ from filling one placeholder after
// another over the previous result: more than nine substrings, a substring holding "%" or
// starting or ending with a surrogate, or a "%" that stays in the text just before a filled
// placeholder.
bool fillErrorMessagePlaceholdersAsUtf8(std::string_view templ,
                                        const std::optional<std::vector<UString>>& subStrings,
                                        std::string& out);

// Number of line feeds before `location` in the text (bounded by the text's end). Answered
// from a line-start table built once per document text and shared by all records of it.
int32_t lineIndexForLocation(HostDocument& document, uint32_t location);
// Forgets the line-start table of a document (to free it when the document closes); nullptr
// forgets all. Tables are keyed by the document's text digest, so an edit never leaves a
// stale one in use.
void invalidateLineIndexCache(const HostDocument* document = nullptr);

// Engine order: by the start of the range only.
class VmkErrorLocationSortDescriptor {
 public:
  int compareObject(const VmkErrorLocation& a, const VmkErrorLocation& b) const;
};

// Sorts into engine order, keeping the relative order of records that start at the same place.
void sortErrorLocations(VmkErrorLocationList& list);

// The results window's column sort: "LocationColumn", "ErrorIconColumn", "ErrorTypeColumn",
// "FixButtonColumn"; any other key compares equal. Descending negates the result.
struct ColumnSortDescriptor {
  std::string key;
  bool ascending = true;
};
int locationCompare(VmkErrorLocation& a, VmkErrorLocation& b,
                    const ColumnSortDescriptor& descriptor);

}  // namespace vmk
