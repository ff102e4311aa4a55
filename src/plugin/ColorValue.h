// The text the colour panel inserts for a colour.
#pragma once

#include "support/Text.h"

namespace vmk {

// "#RRGGBB" in upper-case hexadecimal from components between 0 and 1, each multiplied by 255
// and truncated toward zero (0.5 gives 7F). Components outside that range count as its ends.
UString htmlColorValue(double red, double green, double blue);
// The same in double quotation marks, as the colour panel inserts it into a tag.
UString quotedHTMLColorValue(double red, double green, double blue);

}  // namespace vmk
