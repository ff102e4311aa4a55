// The texts and lists behind hover and completion, made from the dictionary browser and the
// dictionary in use.
#pragma once

#include <optional>
#include <string>

#include "host/lsp/JsonRpc.h"
#include "host/lsp/MarkupContext.h"
#include "support/Text.h"

namespace vmk {
class QkDictBrowser;
class VmkDictionary;
}  // namespace vmk

namespace vmk::lsp {

// The browser's text for one element: its title and dictionary, the tag-omission sentence,
// the attributes (required ones marked), the children and the parents. Absent when the
// dictionary has no such element (the name is tried as written, in upper and in lower case).
std::optional<std::string> elementHoverText(QkDictBrowser& browser, UStringView dictionaryName,
                                            UStringView elementName, bool markdown);

// Completion items for a place: element names, or the attribute names of the place's element
// (required ones first), in the case the typed word suggests (always lower case in XHTML).
json completionItems(const VmkDictionary& dictionary, UStringView text,
                     const CompletionPlace& place);

}  // namespace vmk::lsp
