// Digests of texts (xxHash XXH3-128), used to tell whether a text changed.
#pragma once

#include <string>

#include "support/Text.h"

namespace vmk {

// 32 lower-case hexadecimal digits.
std::string digestHex(UStringView text);
std::string digestHex(std::string_view bytes);

}  // namespace vmk
