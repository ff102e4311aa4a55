#include "plugin/QkChecker.h"

#include <algorithm>
#include <filesystem>

#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/DictionaryFolder.h"
#include "engine/CharsetNames.h"
#include "engine/LinkVocabulary.h"
#include "engine/VmkHTMLChecker.h"
#include "host/HostDocument.h"
#include "links/VmkLinkChecker.h"
#include "plugin/ElementHelp.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

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
  // The site check opens its pages through the host.
  sharedLinkChecker().setDocumentController(documentController_);
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

std::optional<UString> QkChecker::htmlDoctypeForDocument(HostDocument& document) {
  return sharedHTMLChecker().htmlDoctypeForDocument(document);
}

void QkChecker::clearErrorResults() {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearAllErrors();
}

int32_t QkChecker::validateHTMLfor(HostDocument& document, bool linkCheck, bool sound) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearErrorLocationsForObject(&document);
  if (linkCheck) {
    sharedLinkChecker().checkLinkForDocument(document, true, sound);
    int errors = 0;
    int cautions = 0;
    store.getErrorCount(errors, cautions, &document);
    return errors + cautions;
  }
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

// --- Link checks ---

void QkChecker::checkLinksFor(HostDocument& document) {
  checkLinksFor(document, true);
}

void QkChecker::checkBothFor(HostDocument& document) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearErrorLocationsForObject(&document);
  sharedLinkChecker().checkLinkForDocument(document, true, true);
}

void QkChecker::checkLinksFor(HostDocument& document, bool sound) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.clearErrorLocationsForObject(&document);
  sharedLinkChecker().checkLinkForDocument(document, false, sound);
}

void QkChecker::recursiveCheckFor(HostDocument& document) {
  sharedLinkChecker().recursiveCheckFromDocument(document);
}

void QkChecker::recursiveCheckFor(HostDocument& document, int maxDepth, bool linkCheck,
                                  bool htmlCheck, bool sound) {
  if (maxDepth < 0 || (!linkCheck && !htmlCheck)) return;
  const int mode = linkCheck && htmlCheck ? 2 : linkCheck ? 1 : 0;
  VmkLinkChecker& checker = sharedLinkChecker();
  // A script's choice holds for its own check; the user's settings stay as they are.
  checker.setRunOnlySetting("Vmk_RecursiveCheckMode", mode);
  checker.setRunOnlySetting("Vmk_RecursiveMaxDepth", maxDepth);
  checker.startRecursiveCheckFrom(document, sound);
}

std::string QkChecker::dictionaryPathWithName(UStringView name) {
  return dictionaryPathForName(name);
}

}  // namespace vmk
