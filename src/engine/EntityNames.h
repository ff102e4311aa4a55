// The character entity names of HTML 4.01 (its Latin-1, symbol and special sets: 252 names).
// Names are case-sensitive; "apos" is not one of them.
#pragma once

#include <span>
#include <string_view>

namespace vmk {

// Longest entity name, in characters.
inline constexpr size_t kMaxEntityNameLength = 8;

std::span<const std::string_view> htmlEntityNames();
// The Latin-1 set's 96 names in code order from U+00A0 (the first of htmlEntityNames).
std::span<const std::string_view, 96> latin1EntityNames();
// True when the name is an entity name (exact comparison).
bool isHtmlEntityName(std::string_view name);

}  // namespace vmk
