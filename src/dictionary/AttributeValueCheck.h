// Attribute value checking for an element record that the caller has already looked up, so
// that the attributes of one tag share a single lookup. VmkDictionary::checkAttributeName is
// this check after folding the element name and finding its record.
#pragma once

#include <optional>
#include <string_view>

#include "dictionary/AttributeValueContext.h"
#include "dictionary/VmkDictionary.h"

namespace vmk {

// record may be null (the element is not in the dictionary): no problem is found then.
std::optional<std::string_view> checkAttributeValueForRecord(
    const VmkElementRecord* record, UStringView attributeName, const std::optional<UString>& value,
    std::optional<UString>* rightValue, const VmkAttributeValueContext& checker);

}  // namespace vmk
