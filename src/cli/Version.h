// The version the command reports.
#pragma once

namespace vmk::cli {

inline constexpr const char* kVelumarkVersion = "0.1.0";

}  // namespace vmk::cli
