// The minimizer: rebuilds the whole text from the tag list of a validation run with its white
// space collapsed, optionally after saying how much smaller it gets, and replaces the text in
// one edit.
#pragma once

#include "engine/VmkTagLocation.h"
#include "support/Text.h"
#include "transform/TransformItems.h"

namespace vmk {

class HostDocument;
class VmkHTMLChecker;

// The minimized text of `text`, laid out by `list` (made from it). Tags, comments and
// declarations, and text outside pre and raw-text content, have every run of white space
// collapsed to one space (white space alone between two tags becomes one space); text inside
// pre is kept as it is; raw-text content loses the white space that starts its lines, and
// white space that ends a line becomes one space.
UString minimizeTagList(const VmkTagLocationList& list, UStringView text);

// "You can decrease the size of HTML from n bytes to m bytes (p%)." with p = m * 100 / n
// truncated (n > 0).
UString minimizeConfirmationTitle(size_t n, size_t m);

// The command: minimizes the whole document, asking first when withConfirm is set; afterwards
// the result store brings the document's results up to date.
TransformOutcome minimizeHTMLForDocument(HostDocument& document, bool withConfirm);
TransformOutcome minimizeHTMLForDocument(HostDocument& document, bool withConfirm,
                                         VmkHTMLChecker& checker);

}  // namespace vmk
