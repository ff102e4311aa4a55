// What the plug-in says about itself: its name, identifier and version.
#pragma once

#include <string_view>

namespace vmk {

inline constexpr std::string_view kVelumarkDisplayName = "Velumark X";
inline constexpr std::string_view kVelumarkBundleIdentifier = "org.velumark.VelumarkX";
// The plug-in's version ("CFBundleVersion"); the command reports the same.
inline constexpr std::string_view kVelumarkBundleVersion = "0.1.0";
// The product history page, unless the "VelumarkX" table names another.
inline constexpr std::string_view kVelumarkHistoryPageAddress = "https://velumark.org/history.html";
// The file name under which the host keeps the plug-in.
inline constexpr std::string_view kVelumarkPluginFileName = "Velumark X.plugin";

}  // namespace vmk
