#include "dictionary/AttributeTypes.h"

#include "support/Regex.h"

namespace vmk {

bool isCDATAAttribute(UStringView type, std::optional<UString>* kind) {
  static const Regex& cdataPattern = Regex::cached("CDATA(\\((.*)\\))?");
  const auto match = cdataPattern.firstMatch(type);
  if (!match) return false;
  if (kind) *kind = match->text(type, 2);
  return true;
}

}  // namespace vmk
