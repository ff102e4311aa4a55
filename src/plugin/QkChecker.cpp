#include "plugin/QkChecker.h"

#include <algorithm>
#include <filesystem>

#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/DictionaryFolder.h"
#include "engine/CharsetNames.h"
#include "engine/LinkVocabulary.h"
#include "engine/VmkHTMLChecker.h"
#include "host/HostDocument.h"
#include "plugin/ElementHelp.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"
#include "transform/Beautifier.h"
#include "transform/EntityReferenceCommands.h"
#include "transform/Minimizer.h"

namespace vmk {

QkChecker* gQkCheckerInstance = nullptr;

namespace {

std::vector<std::string> buildSoundArray() {
  std::vector<std::string> sounds{"NoErrorSound", "CautionSound", "ErrorSound"};
  const std::string home = homeDirectory();
  for (const std::string& root : {home, std::string("/System"), std::string()}) {
    const std::filesystem::path folder = std::filesystem::path(root + "/Library/Sounds");
    std::error_code error;
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
      std::error_code ignored;
      if (item.is_directory(ignored)) continue;
      names.push_back(item.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    sounds.insert(sounds.end(), names.begin(), names.end());
  }
  return sounds;
}

std::vector<std::string>& soundArrayStorage() {
  static std::vector<std::string> sounds;
  return sounds;
}

}  // namespace

const std::vector<std::string>& gSoundArray() {
  auto& sounds = soundArrayStorage();
  if (sounds.empty()) sounds = buildSoundArray();
  return sounds;
}

QkChecker::QkChecker(HostDocumentController* documentController)
    : documentController_(documentController) {}

QkChecker::~QkChecker() {
  if (gQkCheckerInstance == this) gQkCheckerInstance = nullptr;
}

void QkChecker::awakeFromNib() {
  removeVelumark_ = false;
  gQkCheckerInstance = this;
  createVelumarkXSupportDirectory();
  initDictionaries();
  gWDGHelpDictionary();
  initCharsetTables();
  soundArrayStorage() = buildSoundArray();
  gColors();
  gColors2();
  initSpecialArrays();
  // The result store shows what validation runs find.
  sharedErrorBrowser();
}

HostDocument* QkChecker::frontmostDocument() const {
  return documentController_ ? documentController_->nthDocument(1) : nullptr;
}

bool QkChecker::validateMenuItem(const HostDocument& document) const {
  return !document.isRichText();
}

const std::vector<UString>& QkChecker::htmlDictionaryNames() const {
  return vmk::htmlDictionaryNames();
}

void QkChecker::documentDidOpened(HostDocument& document) {
  if (!document.fileName() && !document.remoteURL()) return;
  const bool needsCheck = sharedErrorBrowser().documentDidOpened(document);
  if (!needsCheck || !sharedVmkUserDefaults().boolForKey("Vmk_OpeningAutoCheck")) return;
  if (document.revertDocumentType() != kHTMLDocumentType || document.isRichText()) return;
  validateHTMLFor(document);
  document.makeFirstResponder();
}

void QkChecker::documentDidEdited(HostDocument& document, Range range, int64_t length) {
  sharedErrorBrowser().documentDidEdited(document, range, length);
}

void QkChecker::documentDidClosed(HostDocument& document) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  ResultObject address;
  if (auto path = document.fileName()) {
    address = *path;
  } else if (auto remote = document.remoteURL()) {
    address = *remote;
  }
  if (sharedVmkUserDefaults().integerForKey("Vmk_BeforeNewCheck") == 2) {
    store.collapseItemFor(&document);
  }
  store.replaceObjectFrom(&document, address);
  invalidateLineIndexCache(&document);
  VmkHTMLChecker& checker = sharedHTMLChecker();
  // The checker compares documents by address; a later document may get this one's address.
  if (checker.sourceDocument() == &document) checker.setSourceDocument(nullptr);
}

void QkChecker::validateHTMLFor(HostDocument& document) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearErrorLocationsForObject(&document);
  sharedHTMLChecker().validateHTMLForDocument(document);
}

void QkChecker::openCheckResults() {
  sharedErrorBrowser().open();
}

TransformOutcome QkChecker::beautifyHTMLFor(HostDocument& document, bool whole) {
  return beautifyHTMLForDocument(document, whole);
}

TransformOutcome QkChecker::minimizeHTMLFor(HostDocument& document) {
  return minimizeHTMLForDocument(document, true);
}

TransformOutcome QkChecker::toEntityReferenceFor(HostDocument& document, bool unconditionally) {
  return vmk::toEntityReferenceFor(document, unconditionally);
}

TransformOutcome QkChecker::minimizeHTMLfor(HostDocument& document, bool withConfirm) {
  return minimizeHTMLForDocument(document, withConfirm);
}

std::optional<UString> QkChecker::htmlDoctypeForDocument(HostDocument& document) {
  return sharedHTMLChecker().htmlDoctypeForDocument(document);
}

void QkChecker::clearErrorResults() {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearAllErrors();
}

int32_t QkChecker::validateHTMLfor(HostDocument& document, bool /*linkCheck*/, bool sound) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearErrorLocationsForObject(&document);
  store.setScriptCommandRunning(true);
  const int32_t count = sharedHTMLChecker().validateHTMLForDocument(document, true, sound);
  store.setScriptCommandRunning(false);
  return count;
}

bool QkChecker::svaeErrorResultsTo(const std::optional<std::string>& path, int format,
                                   std::string* errorOut) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  if (!path) {
    sharedVmkUserDefaults().changeIntValue(format, "Vmk_CheckResultSaveFormat");
    return false;
  }
  return store.saveResultTo(*path, format, errorOut);
}

std::string QkChecker::dictionaryPathWithName(UStringView name) {
  return dictionaryPathForName(name);
}

}  // namespace vmk
