// Localized text tables, loaded from the shipped strings folder (strings/<table>.json, a JSON
// object from key to text). "VmkMsgTitle" and "VmkMsgDescription" hold error titles and
// descriptions keyed by error code; "VelumarkX" holds the plug-in's labels and alerts keyed
// by their English text.
#pragma once

#include <string>
#include <string_view>

#include "support/Text.h"

namespace vmk {

inline constexpr std::string_view kMsgTitleTable = "VmkMsgTitle";
inline constexpr std::string_view kMsgDescriptionTable = "VmkMsgDescription";
inline constexpr std::string_view kVelumarkXTable = "VelumarkX";

// The text for the key; the key itself when the table or the key is missing. Each table is
// read once per process.
UString localizedString(std::string_view table, std::string_view key);
std::string localizedStringUtf8(std::string_view table, std::string_view key);
// True when the table has the key.
bool hasLocalizedString(std::string_view table, std::string_view key);

}  // namespace vmk
