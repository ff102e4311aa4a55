#include "engine/VmkHTMLChecker.h"

#include "dictionary/VmkDictionary.h"
#include "engine/DirectContent.h"
#include "engine/ResultsDisplay.h"
#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {

VmkHTMLChecker& VmkHTMLChecker::sharedHTMLChecker() {
  static VmkHTMLChecker* shared = new VmkHTMLChecker();  // kept until the process ends
  return *shared;
}

VmkHTMLChecker& sharedHTMLChecker() {
  return VmkHTMLChecker::sharedHTMLChecker();
}

std::unique_ptr<VmkHTMLChecker> VmkHTMLChecker::initOneMore() {
  return std::unique_ptr<VmkHTMLChecker>(new VmkHTMLChecker());
}

VmkHTMLChecker::VmkHTMLChecker() = default;
VmkHTMLChecker::~VmkHTMLChecker() = default;

void VmkHTMLChecker::setHtmlDictionary(std::unique_ptr<VmkDictionary> dictionary) {
  htmlDictionary_ = std::move(dictionary);
}

void VmkHTMLChecker::initialize() {
  sourceDocument_ = nullptr;
  sourceSnapshot_.reset();
  sourceString_ = UString();
  htmlDictionary_.reset();
  characterSetString.reset();
  htmlEncoding = Encoding();
  errorLocations_ = VmkErrorLocationList();
  tagLocations_ = VmkTagLocationList();
  tagNameIndex_.reset();
  idArray = std::vector<UString>();
  lastMD5String_.clear();
  isXHTML = false;
  isJapaneseEncoding = false;
  structualErrorCount = 0;
  levelCacheValid_ = false;
  levelCache_.clear();
}

int32_t VmkHTMLChecker::validateHTMLForDocument(HostDocument& document) {
  return validateHTMLForDocument(document, true, true);
}

int32_t VmkHTMLChecker::validateHTMLForDocument(HostDocument& document, bool dispErrors,
                                                bool withSound) {
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  ResultsDisplay& display = resultsDisplay();
  display.startSpiningBall();
  initialize();

  if (dispErrors) {
    int64_t beforeNewCheck = defaults.integerForKey("Vmk_BeforeNewCheck");
    if (beforeNewCheck == 1)
      display.clearAllErrors();
    else if (beforeNewCheck == 2)
      display.collapseAllItemsExceptFor(document);
    display.dispErrorMessage(localizedString(kVelumarkXTable, "Validating HTML..."));
  }

  sourceDocument_ = &document;
  // The document's text is shared while it stays unchanged; copied when it cannot be.
  sourceSnapshot_ = document.textStorage().textSnapshot();
  if (!sourceSnapshot_) {
    sourceString_ = document.textStorage().string();
  }
  htmlEncoding = document.openNSEncoding();

  determinHTMLDictionary();
  makeTagLocationsArray();
  makeElementFiliation();
  if (!tagLocations_.empty()) {
    // Both structure passes ask for the same content; attributes do not change it.
    const DirectContent content(tagLocations_);
    checkElementReleations(content);
    checkAttributeNamesAndValues();
    checkSpecialTagsOrder(content);
  } else {
    checkAttributeNamesAndValues();
  }

  if (dispErrors) {
    if (!errorLocations_.empty()) {
      sortErrorLocations(errorLocations_);
      display.mergeErrorLocations(errorLocations_, document);
    }
    std::optional<UString> doctypeName;
    if (htmlDictionary_) doctypeName = htmlDictionary_->displayName();
    display.dispErrorSummary(errorLocations_, doctypeName, withSound);
  }

  resetLastMD5String();
  display.stopSpiningBall();
  return int32_t(errorLocations_.size());
}

bool VmkHTMLChecker::isStructuralError(std::string_view code) {
  static constexpr std::string_view kStructural[] = {
      "NoCDATAEndMark",         "NoSuchElementName",  "LtMarkInTag",
      "EndTagCantBeOmitted",    "LeftLtMarkNotFound", "StartTagNotFound",
      "NoEndTagForThisElement", "EndTagNotFound"};
  for (std::string_view s : kStructural)
    if (s == code) return true;
  return false;
}

int VmkHTMLChecker::errorLevelFor(std::string_view code) {
  // Settings cannot change inside a run, but a cache kept across runs must follow the store.
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  if (!levelCacheValid_ || levelCacheVersion_ != defaults.version()) {
    levelCache_.clear();
    levelCacheVersion_ = defaults.version();
    levelCacheValid_ = true;
  }
  auto it = levelCache_.find(std::string(code));
  if (it != levelCache_.end()) return it->second;
  int level = errorLevelForThisError(defaults, code);
  levelCache_.emplace(std::string(code), level);
  return level;
}

void VmkHTMLChecker::registerAnErrorWithCode(std::string_view code, Range range,
                                             std::optional<std::vector<UString>> subStrings) {
  if (isStructuralError(code)) ++structualErrorCount;
  if (errorLevelFor(code) <= 0) return;
  ErrorParent parent;
  if (sourceDocument_) parent = sourceDocument_;
  errorLocations_.push_back(
      VmkErrorLocation::create(std::string(code), range, std::move(subStrings), parent));
}

void VmkHTMLChecker::resetLastMD5String() {
  lastMD5String_ = sourceDocument_ ? sourceDocument_->md5DigestString() : std::string();
}

bool VmkHTMLChecker::isLastRunCurrentFor(const HostDocument& document) const {
  return sourceDocument_ == &document && !lastMD5String_.empty() &&
         document.md5DigestString() == lastMD5String_;
}

bool VmkHTMLChecker::ensureCurrentRunFor(HostDocument& document) {
  if (isLastRunCurrentFor(document)) return false;
  validateHTMLForDocument(document, false, false);
  return true;
}

}  // namespace vmk
