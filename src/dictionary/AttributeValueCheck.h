// Attribute value checking for an element record that the caller has already looked up, so
// that the attributes of one tag share a single lookup. VmkDictionary::checkAttributeName is
// this check after folding the element name and finding its record.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "dictionary/AttributeValueContext.h"
#include "dictionary/VmkDictionary.h"

namespace vmk {

// Works out the entry's value rule, fixed value, omissibility and allowed values from its
// type and default fields (made when the entry is split).
void prepareValueRule(VmkAttributeEntry& entry);

// record may be null (the element is not in the dictionary): no problem is found then.
std::optional<std::string_view> checkAttributeValueForRecord(
    const VmkElementRecord* record, UStringView attributeName,
    const std::optional<UStringView>& value, std::optional<UString>* rightValue,
    const VmkAttributeValueContext& checker);

// The first step of that check, which depends on the attribute's name only: the name as the
// check lowers it and the record's entries of that name (nullptr: none, or no record). A
// caller that checks many values of one name makes it once.
struct AttributeEntriesForName {
  UString lowerName;
  const std::vector<size_t>* entries = nullptr;
};
AttributeEntriesForName attributeEntriesForName(const VmkElementRecord* record,
                                                UStringView attributeName);
// The rest of the check, with the first step made.
std::optional<std::string_view> checkAttributeValueForEntries(
    const VmkElementRecord* record, const AttributeEntriesForName& name,
    const std::optional<UStringView>& value, std::optional<UString>* rightValue,
    const VmkAttributeValueContext& checker);

}  // namespace vmk
