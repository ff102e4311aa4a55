#include "plugin/QkChecker.h"

#include <algorithm>
#include <filesystem>

#include "dictionary/AttributeValuePredicates.h"
#include "dictionary/DictionaryFolder.h"
#include "engine/CharsetNames.h"
#include "engine/LinkVocabulary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "errors/Repair.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "links/VmkLinkChecker.h"
#include "plugin/ColorValue.h"
#include "plugin/ElementHelp.h"
#include "plugin/PluginInfo.h"
#include "plugin/QkDictBrowser.h"
#include "results/LocalizedFormat.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"
#include "transform/Beautifier.h"
#include "transform/EntityReferenceCommands.h"
#include "transform/Minimizer.h"
#include "transform/TagCommands.h"

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
  // Probes still running for the document must not record anything for it afterwards.
  sharedLinkChecker().documentWillClose(document);
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

void QkChecker::correctHTMLfor(HostDocument& document, bool sound) {
  const ScriptCommandScope scriptCommand;
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  store.setScriptCommandRunning(true);
  correctAllErrorsForDocument(sharedHTMLChecker(), document, sound);
  store.setScriptCommandRunning(false);
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

// ===== Entry points without a window: document renaming, version, host checks =====

void QkChecker::documentNameChanged(HostDocument& document) {
  if (document.fileName()) sharedErrorBrowser().view().reloadData();
}

std::string QkChecker::versionString() {
  return std::string(kVelumarkBundleVersion);
}

bool QkChecker::checkHostVersion(std::string_view hostShortVersion) {
  const HostVersionCheck check = vmk::checkHostVersion(hostShortVersion);
  if (check.hostIsRecentEnough) return true;
  platform().runAlert(check.title, check.message, check.buttons);
  removeVelumark_ = true;
  uninstallPlugin(kVelumarkPluginFileName);
  return false;
}

void QkChecker::uninstallPlugin(std::string_view /*pluginFileName*/) {
  // A host without windows keeps no plug-in file of its own: there is nothing to remove.
}

bool QkChecker::checkForUpdatesAndNotifyIfUnsuccessful(bool notify, const PlistDict& versions) {
  constexpr std::string_view kTable = "updateChecker";
  const PlistValue* found = versions.find(kVelumarkBundleIdentifier);
  const PlistDict* entry = found ? found->asDict() : nullptr;
  std::optional<std::string> offered;
  if (const PlistValue* version = entry ? entry->find("version") : nullptr) {
    if (const std::string* text = version->asString())
      offered = *text;
    else if (version->isNumber())
      offered = std::to_string(version->realValue());
  }
  const UString name = toUtf16(kVelumarkDisplayName);
  if (compareUpdateVersions(kVelumarkBundleVersion,
                            offered ? std::optional<std::string_view>(*offered) : std::nullopt) ==
      UpdateOutcome::UpToDate) {
    if (notify) {
      platform().runAlert(formatLocalized(localizedString(kTable, "UP_TO_DATE_TITLE"), {name}),
                          localizedString(kTable, "UP_TO_DATE_TEXT"),
                          {localizedString(kVelumarkXTable, "OK")});
    }
    return true;
  }
  const AlertButton answer = platform().runAlert(
      formatLocalized(localizedString(kTable, "NEW_VERSION_TITLE"), {name}),
      localizedString(kTable, "NEW_VERSION_TEXT"),
      {localizedString(kVelumarkXTable, "Download and Show History"),
       localizedString(kVelumarkXTable, "Cancel"), localizedString(kVelumarkXTable, "Download")});
  if (answer == AlertButton::Second) return true;
  const PlistValue* url = entry->find("url");
  if (url && url->asString()) platform().openURL(*url->asString());
  if (answer == AlertButton::First) {
    constexpr std::string_view kHistoryKey = "HistoryPageURL";
    platform().openURL(hasLocalizedString(kVelumarkXTable, kHistoryKey)
                           ? localizedStringUtf8(kVelumarkXTable, kHistoryKey)
                           : std::string(kVelumarkHistoryPageAddress));
  }
  return true;
}

bool QkChecker::colorPanelOKClicked(double red, double green, double blue) {
  HostDocument* document = frontmostDocument();
  if (!document) return false;
  return replaceTextInDocument(*document, document->selectedRange(),
                               quotedHTMLColorValue(red, green, blue));
}

// ===== Tag commands (menu commands and script entry points) =====

VmkTagCommands& QkChecker::tagCommands() {
  if (!tagCommands_) {
    tagCommands_ = std::make_unique<VmkTagCommands>(sharedHTMLChecker());
    tagCommands_->setDictionaryConsultant([this](UStringView dictionary, UStringView element) {
      return openHTMLDictionaryWithName(dictionary) &&
             QkDictBrowser::sharedDictBrowser().selectElement(element);
    });
  }
  return *tagCommands_;
}

int32_t QkChecker::selectTagFor(HostDocument& document) {
  return tagCommands().selectTagFor(document, true);
}

bool QkChecker::selectPairTagFor(HostDocument& document) {
  return tagCommands().selectPairTagFor(document);
}

bool QkChecker::selectElementFor(HostDocument& document) {
  return tagCommands().selectElementFor(document);
}

bool QkChecker::htmlElementHelpFor(HostDocument& document) {
  return tagCommands().consultDictionaryFor(document);
}

bool QkChecker::isEmptyElement(UStringView name, HostDocument& document) {
  return tagCommands().isEmptyElement(name, document);
}

UString QkChecker::getTagNameFor(HostDocument& document) {
  return tagCommands().getTagNameFor(document);
}

std::optional<std::vector<VmkAttributeValue>> QkChecker::getAttributesFor(HostDocument& document) {
  return tagCommands().getAttributesFor(document);
}

bool QkChecker::selectAttribute(UStringView name, bool valueOnly, HostDocument& document) {
  return tagCommands().selectAttribute(name, valueOnly, document);
}

bool QkChecker::setAttribute(UStringView name, std::optional<UStringView> value,
                             HostDocument& document) {
  return tagCommands().setAttribute(name, value, document);
}

bool QkChecker::relativeURLJumpForIndex(uint32_t index, HostDocument& document) {
  return tagCommands().relativeURLJumpForIndex(index, document);
}

bool QkChecker::isInElement(UStringView name, HostDocument& document) {
  return tagCommands().isInElement(name, document);
}

std::string QkChecker::openWDGHelpForElement(UStringView element) {
  const std::string address = elementHelpAddress(element);
  platform().openURL(address);
  return address;
}

// ===== Dictionary folder =====

std::vector<DictionariesMenuItem> QkChecker::dictionariesMenu() const {
  return dictionariesMenuItems(htmlDictionaryNames());
}

bool QkChecker::openHTMLDictionary(const DictionariesMenuItem& item) {
  switch (item.kind) {
    case DictionariesMenuItem::Kind::Dictionary:
      return openHTMLDictionaryWithName(item.title);
    case DictionariesMenuItem::Kind::ShowFolder:
      return showDictionarieFolder();
    case DictionariesMenuItem::Kind::Separator:
      break;
  }
  return false;
}

bool QkChecker::openHTMLDictionaryWithName(UStringView name) {
  return QkDictBrowser::sharedDictBrowser().openHTMLDictionaryWithPath(
      dictionaryPathWithName(name));
}

bool QkChecker::showDictionarieFolder() {
  return platform().revealFolder(dictionariesFolderPath());
}

}  // namespace vmk
