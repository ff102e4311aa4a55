#include "plugin/PreferenceGroups.h"

#include <array>

#include "settings/VmkUserDefaults.h"
#include "support/Regex.h"

namespace vmk {
namespace {

constexpr std::array<std::string_view, 4> kGroups = {"validate", "beautify", "link", "messages"};
constexpr std::array<std::string_view, 8> kValidateKeys = {
    "Vmk_DefaultHtmlDictionary", "Vmk_OpeningAutoCheck", "Vmk_ActivatedAutoCheck",
    "Vmk_FollowsDoctype",        "Vmk_ErrorSoundName",   "Vmk_CautionSoundName",
    "Vmk_NoErrorSoundName",      "Vmk_BeforeNewCheck"};
constexpr std::array<std::string_view, 11> kBeautifyKeys = {
    "Vmk_AutoIndentWithHierarchy", "Vmk_AutoIndentWidth",       "Vmk_SetTagInOneLine",
    "Vmk_DeleteTabAndLfFromData",  "Vmk_EncloseAttributeValue", "Vmk_ElementNameCase",
    "Vmk_AttributeNameCase",       "Vmk_DontIndentTags",        "Vmk_IndentAtStartTags",
    "Vmk_LineBreakAfterStartTags", "Vmk_IndentAndLineBreakTags"};
constexpr std::array<std::string_view, 4> kLinkKeys = {"Vmk_LinkTimeout", "Vmk_CheckLocalLinks",
                                                       "Vmk_CheckRemoteLinks",
                                                       "Vmk_WarnUnsupportedProtocol"};
constexpr std::array<std::string_view, 1> kMessageKeys = {"Vmk_ErrorDictionaryArray"};

}  // namespace

std::span<const std::string_view> preferenceGroupNames() {
  return kGroups;
}

std::span<const std::string_view> preferenceGroupKeys(std::string_view group) {
  if (group == "validate") return kValidateKeys;
  if (group == "beautify") return kBeautifyKeys;
  if (group == "link") return kLinkKeys;
  if (group == "messages") return kMessageKeys;
  return {};
}

bool revertPreferenceGroup(VmkUserDefaults& store, std::string_view group) {
  const auto keys = preferenceGroupKeys(group);
  if (keys.empty()) return false;
  for (std::string_view key : keys) store.removeObjectForKey(key);
  return true;
}

std::vector<UString> tagListFromText(UStringView text) {
  static const Regex& word = Regex::cached("[^\\s]+?(?=(\\s|$))");
  std::vector<UString> names;
  for (const RegexMatch& match : word.allMatches(text)) {
    if (auto found = match.text(text)) names.push_back(lowercase(*found));
  }
  return names;
}

UString textFromTagList(const std::vector<UString>& names) {
  UString text;
  for (const UString& name : names) {
    text += name;
    text += u' ';
  }
  return text;
}

}  // namespace vmk
