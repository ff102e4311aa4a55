// Character-set names known to the checks: every registered name and alias, and the three
// groups of Japanese names. All tables hold lower-case names and are compared exactly, so
// callers pass lower-cased text.
#pragma once

#include <span>
#include <string_view>

#include "support/Text.h"

namespace vmk {

// The registered names and aliases (780), in registry order.
std::span<const std::string_view> knownCharsetNames();
std::span<const std::string_view> eucJPCharsetNames();
std::span<const std::string_view> iso2022JPCharsetNames();
std::span<const std::string_view> shiftJISCharsetNames();

// Builds the lookup tables now rather than on first use (start-up calls it once).
void initCharsetTables();

bool isKnownCharsetName(UStringView lowerName);
bool isEUCJPCharsetName(UStringView lowerName);
bool isISO2022JPCharsetName(UStringView lowerName);
bool isShiftJISCharsetName(UStringView lowerName);
// Any of the three Japanese groups.
bool isJapaneseCharsetName(UStringView lowerName);

}  // namespace vmk
