// The beautifier: rewrites the markup of a document, or of its selected part, into a regular
// layout built from the tag list of a validation run: an element per line where its layout
// class asks for it, tabs for the nesting depth, tags with normalized spacing, letter case and
// quoted values. The region is replaced in one edit.
#pragma once

#include <optional>
#include <unordered_map>
#include <vector>

#include "engine/VmkTagLocation.h"
#include "support/Text.h"
#include "transform/TransformItems.h"

namespace vmk {

class HostDocument;
class VmkHTMLChecker;

// Bits of a layout class.
inline constexpr int kLayoutNewLineBeforeStart = 4;  // and a line break after the end tag
inline constexpr int kLayoutBreakAfterStart = 2;
inline constexpr int kLayoutNewLineBeforeEnd = 1;

// The beautifier's settings, read from the settings store when a beautify starts.
struct BeautifySettings {
  bool indentWithHierarchy = true;      // "Vmk_AutoIndentWithHierarchy"
  double indentWidth = 32.0;            // "Vmk_AutoIndentWidth"
  bool tagInOneLine = true;             // "Vmk_SetTagInOneLine"
  bool deleteTabAndLfFromData = false;  // "Vmk_DeleteTabAndLfFromData"
  bool encloseAttributeValue = true;    // "Vmk_EncloseAttributeValue"
  int elementNameCase = 0;              // "Vmk_ElementNameCase": 0 keep, 1 upper, 2 lower
  int attributeNameCase = 0;            // "Vmk_AttributeNameCase"
  // "Vmk_DontIndentTags", "Vmk_IndentAtStartTags", "Vmk_LineBreakAfterStartTags",
  // "Vmk_IndentAndLineBreakTags", in lower case.
  std::vector<UString> dontIndentTags, indentAtStartTags, lineBreakAfterStartTags,
      indentAndLineBreakTags;

  static BeautifySettings current();
  // The layout class of a name from the four lists (a leading "/" dropped, case ignored):
  // 0, 4, 2 or 6 for the first list that holds it, -1 for none.
  int newlineTypeForElement(UStringView elementName) const;
};

// newlineTypeForElement with the settings as they are now.
int newlineTypeForElement(UStringView elementName);

// The tag at `tag`'s range of `text`, rewritten by the settings.
UString beautifyTagString(const VmkTagLocation& tag, UStringView text,
                          const BeautifySettings& settings);
// The same with the settings as they are now, on the shared checker's text.
UString beautifyTagString(const VmkTagLocation& tag);

// What a beautify replaces: the region of the text and the text that takes its place.
struct BeautifiedRegion {
  Range replaced;
  UString text;
};

// Lays out the items of `list` (made from `text`). Without a selection the whole list, the
// region reaching the end of the text; with one, the items from the first that does not end
// before it to the last that starts inside it. Absent when there is nothing to lay out.
std::optional<BeautifiedRegion> beautifyTagList(const VmkTagLocationList& list, UStringView text,
                                                std::optional<Range> selection,
                                                const BeautifySettings& settings);

// The command: beautifies the whole document (whole set, an empty selection after
// confirmation, or a selection of the whole text) or the selected part, then checks the
// document again with the results shown.
TransformOutcome beautifyHTMLForDocument(HostDocument& document, bool whole);
TransformOutcome beautifyHTMLForDocument(HostDocument& document, bool whole,
                                         VmkHTMLChecker& checker);

}  // namespace vmk
