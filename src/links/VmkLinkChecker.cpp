#include "links/VmkLinkChecker.h"

#include <filesystem>
#include <unordered_set>

#include "dictionary/VmkDictionary.h"
#include "engine/LinkVocabulary.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "host/RunLoop.h"
#include "host/ScriptCommand.h"
#include "links/NetworkSession.h"
#include "results/LocalizedFormat.h"
#include "results/VmkErrorBrowser.h"
#include "settings/VmkUserDefaults.h"
#include "support/Log.h"

namespace vmk {

namespace {

constexpr auto kPageInterval = std::chrono::milliseconds(100);
// The page timer opens no page while more probes than this run.
constexpr int kMaxProbesWhileOpeningPages = 10;

// The URL a document is known by: its file, else its remote address.
std::optional<VmkURL> documentURL(HostDocument& document) {
  if (std::optional<std::string> path = document.fileName()) {
    return VmkURL::fileURLWithPath(std::filesystem::absolute(*path).lexically_normal().string());
  }
  if (std::optional<std::string> remote = document.remoteURL()) return VmkURL::parse(*remote);
  return std::nullopt;
}

bool startsLikeNonElement(UStringView name) {
  return !name.empty() &&
         (name[0] == u'!' || name[0] == u'?' || name[0] == u'/' || name[0] == u'#');
}

bool hasMarkup(const VmkTagLocationList& tags) {
  for (const auto& tag : tags) {
    if (!tag->elementName().empty() && tag->elementName()[0] != u'#') return true;
  }
  return false;
}

}  // namespace

VmkLinkChecker& VmkLinkChecker::sharedLinkChecker() {
  static VmkLinkChecker* checker = new VmkLinkChecker();
  return *checker;
}

VmkLinkChecker& sharedLinkChecker() {
  return VmkLinkChecker::sharedLinkChecker();
}

VmkLinkChecker::VmkLinkChecker(NetworkSession* session)
    : session_(session), scriptCommandTest_([] { return startedByScriptCommand(); }) {}

VmkLinkChecker::~VmkLinkChecker() {
  for (auto& probe : checkURLArray_) probe->abandon();
  if (nextCheckTimer_) runLoop().cancelTimer(nextCheckTimer_);
  if (retireTimer_) runLoop().cancelTimer(retireTimer_);
  restoreSettings();
}

NetworkSession& VmkLinkChecker::session() {
  return session_ ? *session_ : NetworkSession::shared();
}

void VmkLinkChecker::setRunOnlySetting(const std::string& key, int64_t value) {
  sharedVmkUserDefaults().setTemporaryValue(PlistValue(value), key);
  runOnlyKeys_.push_back(key);
}

// ---- Checking one document ----

void VmkLinkChecker::checkLinkForDocument(HostDocument& document, bool withHTMLCheck,
                                          bool withSound) {
  abandonRunningCheck();
  VmkErrorBrowser& store = sharedErrorBrowser();
  soundFlag_ = withSound;
  checkingCount_ = finishedCount_ = totalCount_ = errorCount_ = cautionCount_ = 0;
  checkingDepth_ = 0;
  withHtmlCheck_ = withHTMLCheck;
  checkedDocuments_.assign(1, &document);
  if (!displayLoaded_) {
    displayLoaded_ = true;
    displayAvailable_ = display_ && display_->load();
    if (display_ && !displayAvailable_) {
      logPluginProblem("Failed to load VmkLinkChecker.nib");
      platform().beep();
    }
  }
  store.open();

  VmkHTMLChecker& checker = sharedHTMLChecker();
  if (withHTMLCheck) {
    checker.validateHTMLForDocument(document, true, false);
    store.getErrorCount(errorCount_, cautionCount_, &document);
  } else {
    checker.ensureCurrentRunFor(document);
  }
  if (!hasMarkup(checker.tagLocations())) {
    restoreSettings();
    return;
  }
  checking_ = true;
  holdScriptCommand();
  progress_ = LinkCheckProgress{};
  progress_.title = document.displayName();
  if (display_ && displayAvailable_) display_->beginSheet(progress_);

  std::vector<FoundLink> links = scanLinks(checker, document);
  pages_.reset();
  store.startSpiningBall();
  scanning_ = true;
  for (FoundLink& link : links) {
    startProbe(std::make_unique<VmkURLtoCheck>(std::move(link.url), &document, link.valueRange,
                                               std::move(link.value), *this));
  }
  scanning_ = false;
  updateCountDisplay();
}

std::vector<VmkLinkChecker::FoundLink> VmkLinkChecker::scanLinks(const VmkHTMLChecker& checker,
                                                                 HostDocument& document) const {
  const VmkUserDefaults& settings = sharedVmkUserDefaults();
  const bool checkLocal = settings.boolForKey("Vmk_CheckLocalLinks");
  const bool checkRemote = settings.boolForKey("Vmk_CheckRemoteLinks");
  std::optional<VmkURL> base = documentURL(document);
  std::unordered_set<UString, UStringViewHash, std::equal_to<>> linkable;
  if (const VmkDictionary* dictionary = checker.htmlDictionary()) {
    for (const UString& entry : dictionary->linkableAttributeNameArray()) linkable.insert(entry);
  }
  std::vector<FoundLink> links;
  UString key;
  for (const auto& tag : checker.tagLocations()) {
    const UString& name = tag->elementName();
    if (startsLikeNonElement(name)) continue;
    const VmkAttributeList* attributes = tag->attributes();
    if (!attributes) continue;
    const UString lowerName = lowercase(name);
    for (const VmkAttribute& attribute : *attributes) {
      if (!attribute.value) continue;  // written without a value: nothing to follow
      const std::string value = toUtf8(*attribute.value);
      if (lowerName == u"base" && attribute.name == u"href") {
        // The base is taken as it is written, not resolved against the one before it; it is
        // never probed itself.
        base = VmkURL::parse(value);
        continue;
      }
      key.assign(lowerName);
      key.push_back(u'\t');
      key.append(attribute.name);
      // The link vocabulary holds lower-case names and is compared with the name as scanned.
      const bool isLink = linkable.contains(key) || (gLinkableTags().contains(name) &&
                                                     gUrlAttributes().contains(attribute.name));
      if (!isLink) continue;
      std::optional<VmkURL> url = VmkURL::parse(value, base ? &*base : nullptr);
      const bool wanted = url && url->isFileURL() ? checkLocal : checkRemote;
      if (!wanted) continue;
      links.push_back(FoundLink{std::move(url), attribute.valueRange, UString(*attribute.value)});
    }
  }
  return links;
}

void VmkLinkChecker::startProbe(std::unique_ptr<VmkURLtoCheck> probe) {
  VmkURLtoCheck& started = *probe;
  checkURLArray_.push_back(std::move(probe));
  ++checkingCount_;
  ++totalCount_;
  started.startURLCheck();
}

void VmkLinkChecker::updateCountDisplay() {
  if (!checking_) return;
  if (pages_ && !pages_->seen.empty()) {
    const int queued = static_cast<int>(pages_->queue.size());
    const int seen = static_cast<int>(pages_->seen.size());
    progress_.subtitle = formatLocalized(localizedString(kVelumarkXTable, "Files to check: %d/%d"),
                                         {toUString(queued), toUString(seen)});
    progress_.determinate = checkingDepth_ > 0;
    progress_.maximum = seen;
    progress_.value = seen - queued - 1;
  } else {
    progress_.determinate = totalCount_ > 0;
    progress_.maximum = totalCount_;
    progress_.value = finishedCount_;
  }
  progress_.checking = checkingCount_;
  progress_.finished = finishedCount_;
  progress_.total = totalCount_;
  progress_.errors = errorCount_;
  progress_.cautions = cautionCount_;
  if (display_ && displayAvailable_) display_->update(progress_);
  // A scan that is still starting probes decides nothing: those that finished at once must
  // not end the check before the others are started.
  if (scanning_) return;
  if (finishedCount_ < totalCount_) return;
  if (pages_ && !pages_->queue.empty()) return;
  endCheck();
}

void VmkLinkChecker::endCheck() {
  checking_ = false;
  if (display_ && displayAvailable_) display_->endSheet();
  if (nextCheckTimer_) {
    runLoop().cancelTimer(nextCheckTimer_);
    nextCheckTimer_ = 0;
  }
  const char* title = pages_ && !pages_->seen.empty() ? "Recursive Check"
                      : withHtmlCheck_                ? "Both Check"
                                                      : "Link Check";
  sharedErrorBrowser().dispErrorSummaryForError(
      errorCount_, cautionCount_, localizedString(kVelumarkXTable, title), soundFlag_);
  retireProbes();
  pages_.reset();
  rootURL_.reset();
  restoreSettings();
  resumedScriptCommand_ = suspendedScrpitCommand_;
  suspendedScrpitCommand_ = false;
  // A handler may start the next check.
  const std::vector<std::function<void()>> handlers = endedHandlers_;
  for (const auto& handler : handlers) handler();
}

void VmkLinkChecker::documentWillClose(HostDocument& document) {
  std::erase(checkedDocuments_, &document);
  if (rootDocument_ == &document) rootDocument_ = nullptr;
  std::vector<VmkURLtoCheck*> probes;
  for (auto& probe : checkURLArray_) {
    if (probe->document() == &document) probes.push_back(probe.get());
  }
  for (auto& probe : retiredProbes_) probe->forgetDocument();
  for (VmkURLtoCheck* probe : probes) {
    probe->forgetDocument();
    probe->cancelURLCheck();
  }
}

void VmkLinkChecker::cancelClicked() {
  std::vector<VmkURLtoCheck*> probes;
  probes.reserve(checkURLArray_.size());
  for (auto& probe : checkURLArray_) probes.push_back(probe.get());
  // While the queue is emptied afterwards the check cannot end halfway through the probes.
  const bool wasScanning = scanning_;
  scanning_ = true;
  for (VmkURLtoCheck* probe : probes) probe->cancelURLCheck();
  scanning_ = wasScanning;
  if (pages_) pages_->queue.clear();
  restoreSettings();
  if (checking_ && !scanning_) updateCountDisplay();
}

void VmkLinkChecker::abandonRunningCheck() {
  for (auto& probe : checkURLArray_) probe->abandon();
  retireProbes();
  if (nextCheckTimer_) {
    runLoop().cancelTimer(nextCheckTimer_);
    nextCheckTimer_ = 0;
  }
  if (checking_ && display_ && displayAvailable_) display_->endSheet();
  checking_ = false;
  pages_.reset();
  rootURL_.reset();
  restoreSettings();
}

void VmkLinkChecker::retireProbes() {
  if (checkURLArray_.empty()) return;
  for (auto& probe : checkURLArray_) retiredProbes_.push_back(std::move(probe));
  checkURLArray_.clear();
  if (!retireTimer_) {
    retireTimer_ = runLoop().addTimer(std::chrono::milliseconds(0), [this] {
      retireTimer_ = 0;
      retiredProbes_.clear();
    });
  }
}

void VmkLinkChecker::restoreSettings() {
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  if (openingAutoCheckHeld_) {
    settings.removeTemporaryValue("Vmk_OpeningAutoCheck");
    openingAutoCheckHeld_ = false;
  }
  for (const std::string& key : runOnlyKeys_) settings.removeTemporaryValue(key);
  runOnlyKeys_.clear();
}

void VmkLinkChecker::holdScriptCommand() {
  suspendedScrpitCommand_ = scriptCommandTest_ && scriptCommandTest_();
  resumedScriptCommand_ = false;
}

// ---- Site check ----

void VmkLinkChecker::recursiveCheckFromDocument(HostDocument& document) {
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.open();
  RecursiveStartPanel defaultPanel;
  RecursiveStartPanel& panel = startPanel_ ? *startPanel_ : defaultPanel;
  if (!panel.load()) {
    logPluginProblem("Failed to load VmkRecursivePanel.nib");
    platform().beep();
    return;
  }
  rootDocument_ = &document;
  VmkUserDefaults& settings = sharedVmkUserDefaults();
  int mode = static_cast<int>(settings.integerForKey("Vmk_RecursiveCheckMode"));
  int depth = static_cast<int>(settings.integerForKey("Vmk_RecursiveMaxDepth"));
  if (!panel.run(mode, depth)) return;
  settings.changeIntValue(mode, "Vmk_RecursiveCheckMode");
  settings.changeIntValue(depth, "Vmk_RecursiveMaxDepth");
  startRecursiveCheckFrom(document, true);
}

void VmkLinkChecker::startRecursiveCheckFrom(HostDocument& document, bool withSound) {
  std::optional<VmkURL> root = documentURL(document);
  if (!root) {
    restoreSettings();
    return;
  }
  // What a script set for this check stays; anything else of a running check goes.
  std::vector<std::string> runOnly = std::move(runOnlyKeys_);
  runOnlyKeys_.clear();
  abandonRunningCheck();
  runOnlyKeys_ = std::move(runOnly);

  soundFlag_ = withSound;
  rootURL_ = root->pageIdentity();
  VmkErrorBrowser& store = sharedErrorBrowser();
  store.clearAllErrors();
  checkingCount_ = finishedCount_ = totalCount_ = errorCount_ = cautionCount_ = 0;
  withHtmlCheck_ = false;
  checkedDocuments_.clear();
  pages_ = std::make_unique<RecursivePages>();
  store.startSpiningBall();
  if (!displayLoaded_) {
    displayLoaded_ = true;
    displayAvailable_ = display_ && display_->load();
    if (display_ && !displayAvailable_) {
      logPluginProblem("Failed to load VmkLinkChecker.nib");
      platform().beep();
    }
  }
  checking_ = true;
  holdScriptCommand();
  progress_ = LinkCheckProgress{};
  if (display_ && displayAvailable_) display_->beginSheet(progress_);
  // The pages the check opens are not validated again by the open hook; the value holds for
  // this check only.
  sharedVmkUserDefaults().setTemporaryValue(PlistValue(false), "Vmk_OpeningAutoCheck");
  openingAutoCheckHeld_ = true;
  pages_->add(*rootURL_);
  recursiveCheckForDocument(document, 0);
}

UString VmkLinkChecker::pageTitle(HostDocument& document) {
  if (document.remoteURL()) return document.displayName();
  const std::filesystem::path path(document.fileName().value_or(""));
  return formatLocalized(u"%@  -  %@",
                         {toUtf16(path.filename().string()), toUtf16(path.parent_path().string())});
}

void VmkLinkChecker::recursiveCheckForDocument(HostDocument& document, int depth) {
  if (!checking_ || !pages_) return;
  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  const VmkUserDefaults& settings = sharedVmkUserDefaults();
  const int mode = static_cast<int>(settings.integerForKey("Vmk_RecursiveCheckMode"));
  const int maxDepth = static_cast<int>(settings.integerForKey("Vmk_RecursiveMaxDepth"));
  checkingDepth_ = depth;
  checkedDocuments_.push_back(&document);
  progress_.title = pageTitle(document);
  VmkErrorBrowser& store = sharedErrorBrowser();
  if (mode == 1) {
    checker->validateHTMLForDocument(document, false, false);
  } else {
    checker->validateHTMLForDocument(document, true, false);
    int errors = 0;
    int cautions = 0;
    store.getErrorCount(errors, cautions, &document);
    errorCount_ += errors;
    cautionCount_ += cautions;
  }
  if (hasMarkup(checker->tagLocations())) {
    std::vector<FoundLink> links = scanLinks(*checker, document);
    scanning_ = true;
    for (FoundLink& link : links) {
      const bool sameHost = link.url && rootURL_ && link.url->host() == rootURL_->host();
      if (!sameHost && mode == 0) continue;
      auto probe = std::make_unique<VmkURLtoCheck>(std::move(link.url), &document, link.valueRange,
                                                   std::move(link.value), *this);
      if (sameHost) {
        probe->setMaxDepth(maxDepth);
        probe->setRecursiveMode(mode);
        probe->setDepth(depth);
        probe->setRecursivePages(pages_.get());
      }
      startProbe(std::move(probe));
    }
    scanning_ = false;
  }
  // A start page without tags ends here, through the usual end.
  updateCountDisplay();
  if (depth == 0 && checking_) armPageTimer();
}

void VmkLinkChecker::armPageTimer() {
  if (nextCheckTimer_) runLoop().cancelTimer(nextCheckTimer_);
  nextCheckTimer_ = runLoop().addTimer(kPageInterval, [this] {
    nextCheckTimer_ = 0;
    checkNextPage();
  });
}

void VmkLinkChecker::checkNextPage() {
  nextCheckTimer_ = 0;
  if (!checking_ || !pages_) return;
  if (checkingCount_ > kMaxProbesWhileOpeningPages) {
    armPageTimer();
    return;
  }
  if (!pages_->queue.empty()) {
    const PageRequest request = pages_->queue.front();
    HostDocument* page =
        documentController_ ? documentController_->openURL(request.url.absoluteString()) : nullptr;
    if (!page) {
      pageFailed(request.url.absoluteString());
      return;
    }
    recursiveCheckForDocument(*page, request.depth);
    if (!checking_ || !pages_) return;
    armPageTimer();
    pages_->queue.pop_front();
    return;
  }
  if (finishedCount_ < totalCount_) {
    armPageTimer();
    return;
  }
  updateCountDisplay();
}

void VmkLinkChecker::pageFailed(const std::string& address) {
  logPluginProblem("Error Occured at checkNextPage Timer routine.");
  cancelClicked();
  updateCountDisplay();
  platform().runAlert(
      localizedString(kVelumarkXTable, "The check was canceled."),
      formatLocalized(
          localizedString(kVelumarkXTable, "An exceptional error occured when processing \"%@\"."),
          {toUtf16(address)}),
      {localizedString(kVelumarkXTable, "OK")});
}

}  // namespace vmk
