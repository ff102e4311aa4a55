// What the preferences page does to the settings store, without the page: the four groups that
// return to their factory values together, and the rules that turn a tag-name field into a
// list of names and back.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/Text.h"

namespace vmk {

class VmkUserDefaults;

// The groups: "validate", "beautify", "link", "messages".
std::span<const std::string_view> preferenceGroupNames();
// The keys of a group; empty for an unknown group.
std::span<const std::string_view> preferenceGroupKeys(std::string_view group);
// Removes the user's values of every key of the group (one settings write per key). False when
// the group is unknown.
bool revertPreferenceGroup(VmkUserDefaults& store, std::string_view group);

// Text -> list: every run of non-white-space characters, lowered, in order.
std::vector<UString> tagListFromText(UStringView text);
// List -> text: every name followed by one space.
UString textFromTagList(const std::vector<UString>& names);

}  // namespace vmk
