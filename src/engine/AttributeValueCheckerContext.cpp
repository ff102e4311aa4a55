#include "engine/AttributeValueCheckerContext.h"

#include "engine/CharacterReferences.h"
#include "engine/CharsetNames.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

bool VmkCheckerAttributeValueContext::isThisIDDefined(UStringView value) const {
  return checker_.isThisIDDefined(value);
}

bool VmkCheckerAttributeValueContext::isKnownCharsetName(UStringView lowerName) const {
  return vmk::isKnownCharsetName(lowerName);
}

int32_t VmkCheckerAttributeValueContext::isCharRef(UStringView text, size_t position) const {
  return vmk::isCharRef(text, position);
}

}  // namespace vmk
