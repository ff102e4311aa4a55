// The tree walk over a scanned tag list: pairs every start tag with its end tag, gives every
// entry its nesting depth and reports the nesting errors (missing, stray and omitted end
// tags, elements that cannot be children of their parent).
//
// The walk processes one element at a time: the element that begins at an entry and
// everything inside it, returning the entry after it (its next sibling). It keeps its own
// stack of open elements instead of recursing, so deeply nested documents cannot exhaust the
// call stack, and answers its look-ahead questions from a TagNameIndex, so documents with
// many unclosed elements stay near-linear.
#pragma once

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/TagNameIndex.h"
#include "engine/VmkTagLocation.h"

namespace vmk {

// The dictionary questions the walk asks.
struct TagTreeRules {
  // The element name (as stored, without the "/" of an end tag) is in the dictionary.
  std::function<bool(UStringView element)> isExistElement;
  // 1 allowed, 0 not allowed, -1 cannot tell (treated as allowed).
  std::function<int(UStringView child, UStringView parent)> isChildElement;
  // The dictionary is an XML one.
  bool isXML = false;
};

// Receives each problem in the order it is found.
using TagTreeReporter =
    std::function<void(std::string_view code, Range range, std::vector<UString> subStrings)>;

// Runs the walk over the whole list (entries in source order, linked by prevTag / nextTag).
// Sets pairTag links, adds the nesting depth to tagDepth and gives every entry its place in
// the list (listIndex). depths, when given, receives every entry's final tagDepth in list order.
// contentEnds, when given, receives where the content of each element that the walk opened
// and did not pair with an end tag ends, as (start entry, place of the first entry after the
// content: the entry before which it was ended, or the list's length), ordered by start entry.
// A paired element's content ends at its end tag. Depths alone do not tell it: the entries
// after an element whose end is never found keep the element's own depth.
using ContentEnds = std::vector<std::pair<int32_t, int32_t>>;
void walkTagTree(VmkTagLocationList& list, const TagNameIndex& index, const TagTreeRules& rules,
                 const TagTreeReporter& report, std::vector<int32_t>* depths = nullptr,
                 ContentEnds* contentEnds = nullptr);

}  // namespace vmk
