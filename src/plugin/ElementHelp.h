// Pages of the online HTML element reference, by element name.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace vmk {

// Element name (lower case) -> page relative to the reference's base address, such as
// "head/link.html" or "structure.html#doc" for "!doctype".
const std::unordered_map<std::string, std::string>& gWDGHelpDictionary();

// Where the element reference lives; its pages are relative to it.
inline constexpr std::string_view kElementReferenceBaseAddress =
    "https://reference.velumark.org/html40/";
// The reference's index of all elements, shown for a name without a page of its own.
inline constexpr std::string_view kElementIndexPage = "alist.html";

// The reference page of an element (any case; a leading "/" of an end tag is ignored).
std::string elementHelpAddress(std::u16string_view element);

}  // namespace vmk
