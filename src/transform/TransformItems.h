// What the beautifier, the minimizer and the character reference conversion ask of the items
// of a tag list, and the outcome they report.
#pragma once

#include <cstddef>

#include "engine/VmkTagLocation.h"
#include "support/Text.h"

namespace vmk {

// How a transformation command ended.
enum class TransformOutcome {
  Changed,    // the document's text was replaced
  Unchanged,  // nothing to do, or nothing came out different
  Declined,   // a confirmation was answered with anything but its first button
};

// A tag whose ">" never came has the range (0, 0): its characters run from its "<" to the end
// of the text, and only the last item of a list can be such a tag.
inline bool isOpenEndedTag(const VmkTagLocation& item) {
  return !item.isTextRun() && item.tagRange() == Range(0, 0);
}

// The number of items from the start of the list that have a range of their own (all but an
// open-ended tag at the end).
size_t itemsWithRanges(const VmkTagLocationList& list);

// The name is one of the raw-text elements (script, xmp, listing, plaintext, style, server,
// textarea), ignoring case.
bool isRawTextElementName(UStringView name);

// The text item between `prev` and `next` is the whole content of an element: the previous
// item's name equals the next one's without its first character, ignoring case ("TITLE" and
// "/TITLE").
bool isWholeContentBetween(const VmkTagLocation& prev, const VmkTagLocation& next);

// The name equals `lowerName` (ASCII, lower case) ignoring case. No other characters fold to
// the ASCII letters the transformations ask about ("pre", "/pre").
bool isNamedIgnoringCase(UStringView name, UStringView lowerName);

// ASCII lower case of a name, into `out` (names are ASCII in practice; other units stay).
void lowercaseNameInto(UStringView name, UString& out);

}  // namespace vmk
