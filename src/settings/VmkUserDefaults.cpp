#include "settings/VmkUserDefaults.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "errors/ErrorCatalogue.h"
#include "support/Log.h"
#include "support/Paths.h"

namespace vmk {

namespace {

constexpr std::string_view kSettingsFileName = "org.velumark.VelumarkX.plist";

std::unique_ptr<VmkUserDefaults>& sharedSlot() {
  static std::unique_ptr<VmkUserDefaults> shared;
  return shared;
}

// Versions are drawn from one counter so that no two store states share a version.
std::atomic<uint64_t> gVersionCounter{0};

PlistArray stringArray(std::initializer_list<const char*> names) {
  PlistArray array;
  array.reserve(names.size());
  for (const char* n : names) array.emplace_back(n);
  return array;
}

bool isNumberKind(const PlistValue& v) {
  return v.isBool() || v.isNumber();
}

// Equality of a new value with a stored one, in the new value's own kind.
bool sameSetting(const PlistValue& v, const PlistValue* c) {
  if (!c) return false;
  if (isNumberKind(v)) {
    if (!isNumberKind(*c)) return false;
    if (v.isBool()) return v.boolValue() == c->boolValue();
    if (v.isInteger()) {
      return c->isReal() ? c->realValue() == static_cast<double>(v.integerValue())
                         : c->integerValue() == v.integerValue();
    }
    return static_cast<float>(v.realValue()) == static_cast<float>(c->realValue());
  }
  return v == *c;
}

}  // namespace

VmkUserDefaults& VmkUserDefaults::sharedVmkUserDefaults() {
  auto& slot = sharedSlot();
  if (!slot) slot = std::make_unique<VmkUserDefaults>();
  return *slot;
}

void VmkUserDefaults::resetSharedForTesting() {
  sharedSlot().reset();
}

VmkUserDefaults& sharedVmkUserDefaults() {
  return VmkUserDefaults::sharedVmkUserDefaults();
}

std::string VmkUserDefaults::defaultSettingsFilePath() {
  return velumarkConfigDirectory() + "/" + std::string(kSettingsFileName);
}

VmkUserDefaults::VmkUserDefaults() : VmkUserDefaults(defaultSettingsFilePath()) {}

VmkUserDefaults::VmkUserDefaults(std::string settingsFilePath)
    : settingsFilePath_(std::move(settingsFilePath)) {
  bumpVersion();
  loadUserPrefsDictionary();
  initFactoryPrefsDictionary();
}

void VmkUserDefaults::bumpVersion() {
  version_ = ++gVersionCounter;
}

void VmkUserDefaults::loadUserPrefsDictionary() {
  std::error_code ec;
  if (!std::filesystem::exists(settingsFilePath_, ec)) return;  // first run: nothing stored
  std::optional<PlistValue> root = readPlistFile(settingsFilePath_);
  if (!root || !root->isDict()) {
    logPluginProblem("ignoring unreadable or malformed settings file " + settingsFilePath_ +
                     "; factory settings apply until a setting changes");
    return;
  }
  userPrefsDictionary_ = std::move(*root->asDict());
  bumpVersion();
}

void VmkUserDefaults::initFactoryPrefsDictionary() {
  if (!factoryBuilt_) {
    PlistDict& f = factoryPrefsDictionary_;
    f.set("Vmk_ErrorDictionaryArray", factoryErrorDicitionaryArray());
    f.set("Vmk_DefaultHtmlDictionary", "HTML 4.01 Transitional");
    f.set("Vmk_OpeningAutoCheck", true);
    f.set("Vmk_FollowsDoctype", true);
    f.set("Vmk_StrictDTDChecks", false);
    f.set("Vmk_ErrorSoundName", "ErrorSound");
    f.set("Vmk_CautionSoundName", "CautionSound");
    f.set("Vmk_NoErrorSoundName", "NoErrorSound");
    f.set("Vmk_ActivatedAutoCheck", true);
    f.set("Vmk_BeforeNewCheck", 2);
    f.set("Vmk_AutoIndentWithHierarchy", true);
    f.set("Vmk_AutoIndentWidth", 32.0);
    f.set("Vmk_SetTagInOneLine", true);
    f.set("Vmk_DeleteTabAndLfFromData", false);
    f.set("Vmk_EncloseAttributeValue", true);
    f.set("Vmk_ElementNameCase", 0);
    f.set("Vmk_AttributeNameCase", 0);
    f.set("Vmk_DontIndentTags",
          stringArray({"a",      "abbr",   "acronym", "applet", "b",      "basefont", "bdo",
                       "big",    "button", "cite",    "code",   "dfn",    "em",       "font",
                       "i",      "iframe", "img",     "input",  "kbd",    "label",    "map",
                       "object", "q",      "s",       "samp",   "script", "select",   "small",
                       "span",   "strike", "strong",  "sub",    "sup",    "textarea", "tt",
                       "u",      "var"}));
    f.set("Vmk_IndentAtStartTags", stringArray({"caption", "dd", "li", "p", "td", "th", "title"}));
    f.set("Vmk_LineBreakAfterStartTags", stringArray({"br", "wbr", "!--"}));
    f.set("Vmk_IndentAndLineBreakTags", stringArray({"hr"}));
    f.set("Vmk_LinkTimeout", 60.0);
    f.set("Vmk_CheckLocalLinks", true);
    f.set("Vmk_CheckRemoteLinks", true);
    f.set("Vmk_WarnUnsupportedProtocol", true);
    f.set("Vmk_RecursiveCheckMode", 1);
    f.set("Vmk_RecursiveMaxDepth", 1);
    f.set("Vmk_CheckResultSaveFormat", 0);
    factoryBuilt_ = true;
  }

  // A stored catalogue of another size than the factory one predates the current set of
  // codes: replace it wholesale. One of the 89 codes before the strict content checks stays:
  // its three missing codes answer their factory values (see ErrorCatalogue), and the user's
  // levels and repair flags are kept.
  const PlistValue* stored = objectForKey(kErrorDictionaryArrayKey);
  size_t storedCount = stored && stored->asArray() ? stored->asArray()->size() : 0;
  if (storedCount != factoryErrorCatalogue().size() &&
      storedCount != kCatalogueSizeBeforeStrictChecks) {
    setObject(factoryErrorDicitionaryArray(), kErrorDictionaryArrayKey);
  }
}

const PlistValue* VmkUserDefaults::objectForKey(std::string_view key) const {
  if (!temporaryValues_.empty()) {
    if (const PlistValue* v = temporaryValues_.find(key)) return v;
  }
  if (const PlistValue* v = userPrefsDictionary_.find(key)) return v;
  return factoryPrefsDictionary_.find(key);
}

const PlistValue* VmkUserDefaults::factoryObjectForKey(std::string_view key) const {
  return factoryPrefsDictionary_.find(key);
}

bool VmkUserDefaults::setObject(PlistValue value, std::string_view key) {
  userPrefsDictionary_.set(std::string(key), std::move(value));
  bumpVersion();
  return writeUserPrefs();
}

bool VmkUserDefaults::removeObjectForKey(std::string_view key) {
  userPrefsDictionary_.erase(key);
  bumpVersion();
  return writeUserPrefs();
}

bool VmkUserDefaults::writeUserPrefs() {
  if (!writesSettingsFile_) return true;
  std::filesystem::path path(settingsFilePath_);
  std::string error;
  if (path.has_parent_path() && !makeDirectories(path.parent_path().string())) {
    error = "cannot create folder " + path.parent_path().string();
  } else if (writePlistFile(settingsFilePath_, PlistValue(userPrefsDictionary_), &error)) {
    return true;
  }
  logPluginProblem("could not write settings file " + settingsFilePath_ + ": " + error);
  return false;
}

void VmkUserDefaults::setTemporaryValue(PlistValue value, std::string_view key) {
  temporaryValues_.set(std::string(key), std::move(value));
  bumpVersion();
}

void VmkUserDefaults::removeTemporaryValue(std::string_view key) {
  if (temporaryValues_.erase(key)) bumpVersion();
}

bool VmkUserDefaults::changeObject(PlistValue value, std::string_view key) {
  // Compared with what is stored: a temporary value says nothing about the user map.
  const PlistValue* stored = userPrefsDictionary_.find(key);
  if (!stored) stored = factoryObjectForKey(key);
  if (sameSetting(value, stored)) return true;
  if (sameSetting(value, factoryObjectForKey(key))) return removeObjectForKey(key);
  return setObject(std::move(value), key);
}

bool VmkUserDefaults::changeStringValue(std::string value, std::string_view key) {
  return changeObject(PlistValue(std::move(value)), key);
}
bool VmkUserDefaults::changeBoolValue(bool value, std::string_view key) {
  return changeObject(PlistValue(value), key);
}
bool VmkUserDefaults::changeIntValue(int64_t value, std::string_view key) {
  return changeObject(PlistValue(value), key);
}
bool VmkUserDefaults::changeFloatValue(double value, std::string_view key) {
  // Reals are kept in single precision.
  return changeObject(PlistValue(static_cast<double>(static_cast<float>(value))), key);
}

bool VmkUserDefaults::boolForKey(std::string_view key) const {
  const PlistValue* v = objectForKey(key);
  return v && v->boolValue();
}
int64_t VmkUserDefaults::integerForKey(std::string_view key) const {
  const PlistValue* v = objectForKey(key);
  return v ? v->integerValue() : 0;
}
double VmkUserDefaults::realForKey(std::string_view key) const {
  const PlistValue* v = objectForKey(key);
  return v ? v->realValue() : 0.0;
}
std::string VmkUserDefaults::stringForKey(std::string_view key) const {
  const PlistValue* v = objectForKey(key);
  return v && v->asString() ? *v->asString() : std::string();
}
std::vector<std::string> VmkUserDefaults::stringArrayForKey(std::string_view key) const {
  std::vector<std::string> out;
  const PlistValue* v = objectForKey(key);
  if (!v || !v->asArray()) return out;
  for (const PlistValue& item : *v->asArray()) {
    if (const std::string* s = item.asString()) out.push_back(*s);
  }
  return out;
}

PlistArray VmkUserDefaults::factoryErrorDicitionaryArray() {
  return vmk::factoryErrorDicitionaryArray();
}

}  // namespace vmk
