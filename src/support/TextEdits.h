// Replacements made one after another on a text, kept as edits of the text they started from,
// so that many of them cost one pass over the text instead of one each.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "support/Text.h"

namespace vmk {

// One replacement: the range of the text it applies to, and the new characters.
struct TextEdit {
  Range range;
  UString text;
  friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

// A text as it stands after a series of replacements on a base text, without making it: each
// replacement is given in the coordinates of the text as it stands then, and is kept as an edit
// of the base (replacements that overlap or touch merge into one edit). The base must stay as
// it is while this lives. Replacements that come from the end of the text towards its start
// (as repair makes them) cost a constant each; others a walk over the edits to their left.
class ComposedEdits {
 public:
  explicit ComposedEdits(UStringView base) : base_(base) {}

  UStringView base() const { return base_; }
  bool empty() const { return edits_.empty(); }
  // The length of the text as it stands.
  uint32_t length() const { return uint32_t(int64_t(base_.size()) + delta_); }

  // Replaces a range of the text as it stands (clamped to it).
  void replace(Range range, UStringView text);
  // The characters of a range of the text as it stands (clamped to it).
  UString read(Range range) const;
  // The character at a place of the text as it stands; 0 past its end.
  UChar16 characterAt(uint32_t location) const;
  // Where a range of the base lies in the text as it stands; absent when an edit changed any
  // of its characters (an insertion at either end of it is outside it).
  std::optional<Range> currentRangeOfBase(Range baseRange) const;
  // The edits of the base, ascending and apart (none overlaps or touches another).
  std::vector<TextEdit> edits() const { return {edits_.rbegin(), edits_.rend()}; }
  // The same, moved out (a page's worth of new text is not copied); nothing is left.
  std::vector<TextEdit> takeEdits();
  // The text as it stands, made whole.
  UString text() const;

 private:
  // Where an edit lies in the text as it stands, and the change in length left of it.
  struct Placed {
    size_t index;    // in edits_
    uint32_t start;  // in the text as it stands
    uint32_t end;
    int64_t deltaLeft;  // of the edits before it
  };

  UStringView base_;
  // Descending by place, so that an edit left of all others is added at the back.
  std::vector<TextEdit> edits_;
  int64_t delta_ = 0;
};

// Applies edits of a text (ascending and apart, as ComposedEdits gives them) in one pass.
UString applyEdits(UStringView text, const std::vector<TextEdit>& ascending);

}  // namespace vmk
