// What judging an attribute value needs beyond the dictionary itself: the ids of the document
// being checked, the registered charset names and the character reference scanner. The
// validation engine owns all three and implements this interface; the dictionary only asks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/Text.h"

namespace vmk {

class VmkAttributeValueContext {
 public:
  virtual ~VmkAttributeValueContext() = default;

  // True when an id attribute of the document has exactly this value.
  virtual bool isThisIDDefined(UStringView value) const = 0;
  // True when the lower-case name is a registered charset name or alias.
  virtual bool isKnownCharsetName(UStringView lowerName) const = 0;
  // The character reference starting at `position` of `text`: its length when it is
  // complete, 0 or a negative number otherwise.
  virtual int32_t isCharRef(UStringView text, size_t position) const = 0;
};

}  // namespace vmk
