// Attribute checks: attribute records of every start tag, their lexical problems, required
// attributes and value types.
#include "engine/VmkHTMLChecker.h"

namespace vmk {

void VmkHTMLChecker::checkAttributeNamesAndValues() {
  // TODO(attribute checks): the two passes over the tag list.
}

void VmkHTMLChecker::makeAttrbListForTagLocation(VmkTagLocation& /*tag*/) {
  // TODO(attribute checks)
}

void VmkHTMLChecker::checkRequiredAttributeForTagLocation(VmkTagLocation& /*tag*/) {
  // TODO(attribute checks)
}

void VmkHTMLChecker::checkAttributeValuesForTagLocation(VmkTagLocation& /*tag*/) {
  // TODO(attribute checks)
}

bool VmkHTMLChecker::isThisIDDefined(UStringView value) const {
  for (const UString& id : idArray)
    if (id == value) return true;
  return false;
}

}  // namespace vmk
