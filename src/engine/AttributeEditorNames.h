// Attribute names that page-layout editors write into HTML and that no DTD defines. When a
// dictionary does not allow one of them, the attribute checks say so with a milder code than
// for an unknown attribute, and the repair simply removes it.
#pragma once

#include <vector>

#include "support/Text.h"

namespace vmk {

// The twelve names, lower case, built once on first use and read-only afterwards.
const std::vector<UString>& gEditorAttributeArray();
// True when the lower-case name is one of them (exact comparison).
bool isEditorAttributeName(UStringView lowerName);

}  // namespace vmk
