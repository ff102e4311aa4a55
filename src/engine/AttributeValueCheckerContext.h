// The validation run as attribute value checks see it: the ids collected by the checker, the
// registered charset names and the character reference scanner of the character checks.
#pragma once

#include "dictionary/AttributeValueContext.h"

namespace vmk {

class VmkHTMLChecker;

class VmkCheckerAttributeValueContext final : public VmkAttributeValueContext {
 public:
  explicit VmkCheckerAttributeValueContext(const VmkHTMLChecker& checker) : checker_(checker) {}

  bool isThisIDDefined(UStringView value) const override;
  bool isKnownCharsetName(UStringView lowerName) const override;
  int32_t isCharRef(UStringView text, size_t position) const override;

 private:
  const VmkHTMLChecker& checker_;
};

}  // namespace vmk
