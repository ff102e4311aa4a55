// The version the command reports.
#pragma once

#include "plugin/PluginInfo.h"

namespace vmk::cli {

inline constexpr const char* kVelumarkVersion = kVelumarkBundleVersion.data();

}  // namespace vmk::cli
