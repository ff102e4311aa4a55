// Pages of the online HTML element reference, by element name.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace vmk {

// Element name (lower case) -> page relative to the reference's base address, such as
// "head/link.html" or "structure.html#doc" for "!doctype".
const std::unordered_map<std::string, std::string>& gWDGHelpDictionary();

}  // namespace vmk
