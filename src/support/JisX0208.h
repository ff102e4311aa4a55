// Membership in the Japanese national character set: which UTF-16 code units Shift_JIS, as
// JIS X 0208 defines it, can hold without vendor extensions.
#pragma once

#include "support/Text.h"

namespace vmk {

// True when the code unit, taken alone as a one-unit text, converts without loss to Shift_JIS
// limited to JIS X 0201 (ASCII/Roman and half-width katakana) and JIS X 0208 rows 1-8 and
// 16-84. Both customary mappings of the handful of JIS X 0208 symbols that vendors map
// differently (WAVE DASH or FULLWIDTH TILDE for 1-33, MINUS SIGN or FULLWIDTH HYPHEN-MINUS for
// 1-61, ...) count as convertible. NEC row 13, the IBM extension kanji and symbols, user-defined
// rows and lone surrogates do not. The table is built from the converters on first use.
bool isShiftJISX0208Unit(UChar16 unit);

}  // namespace vmk
