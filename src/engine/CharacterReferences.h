// Character references and the character-run tests of the scanner: pure functions over UTF-16
// text that never read past its end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/Text.h"

namespace vmk {

// The character reference starting at `position` of `text`:
//   > 0  the length of a complete reference, from the "&" through the ";";
//   0    no reference starts here (not an "&", or no entity name follows it, or the name
//        runs on into letters);
//   < 0  -k: a reference starts here but lacks its ";", k being the offset from `position` of
//        the code unit that broke it (the end of the text when the text ends first).
// Numeric references may have an empty number ("&#;", "&#x;"). Named references take the
// longest entity name the text begins with, compared case-sensitively.
int32_t isCharRef(UStringView text, size_t position);

// True for U+FF61 ... U+FF9F (half-width katakana).
constexpr bool isHalfwidthKatakana(UChar16 unit) {
  return unit >= 0xFF61 && unit <= 0xFF9F;
}

// The number of consecutive half-width katakana from `position` (0 at or past the end).
size_t hankakuKanaRunLength(UStringView text, size_t position);

// The number of consecutive code units from `position` that are above 127 and that, taken
// alone, have no place in Shift_JIS as JIS X 0208 defines it (vendor extensions such as
// circled digits or the extension kanji, lone surrogates, characters of other scripts).
size_t machineDependentRunLength(UStringView text, size_t position);

}  // namespace vmk
