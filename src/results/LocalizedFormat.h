// Filling the "%@" and "%d" markers of a localized format text.
#pragma once

#include <vector>

#include "support/Text.h"

namespace vmk {

// Replaces each "%@" or "%d" marker, left to right, by the next argument (integers are passed
// already formatted); "%%" stands for one percent sign. Markers without an argument become "".
UString formatLocalized(UStringView format, const std::vector<UString>& arguments);

}  // namespace vmk
