// Predicates over the declared type of an attribute, as a dictionary entry writes it.
#pragma once

#include <optional>

#include "support/Text.h"

namespace vmk {

// True when the type field declares character data ("CDATA" anywhere in it). *kind receives
// the parenthesised suffix of the first "CDATA(...)" (for example "URI" of CDATA(URI)), or
// absent for a bare CDATA; kind may be null.
bool isCDATAAttribute(UStringView type, std::optional<UString>* kind = nullptr);

}  // namespace vmk
