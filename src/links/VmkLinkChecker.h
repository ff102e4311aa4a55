// The link checker: the links of one document (every linking attribute value resolved against
// the document's base and probed), and the site check that follows the links to HTML pages on
// the start page's host, page after page, down to a depth. It counts the probes as they finish,
// keeps a progress display up to date, and ends each check with one summary line in the result
// store. Everything runs on the run loop's thread; the end of a check is announced to the
// handlers set with addCheckEndedHandler, so that whoever started it can go on.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "links/VmkURL.h"
#include "links/VmkURLtoCheck.h"
#include "support/Text.h"

namespace vmk {

class HostDocument;
class HostDocumentController;
class NetworkSession;
class VmkHTMLChecker;

// A page waiting to be checked ("URLToCheck", "CheckDepth").
struct PageRequest {
  VmkURL url;
  int depth = 0;
};

// The pages a site check has seen (the start page and every page queued) and its queue.
struct RecursivePages {
  std::vector<VmkURL> seen;
  std::unordered_set<std::string> seenTexts;
  std::deque<PageRequest> queue;

  bool contains(const VmkURL& url) const { return seenTexts.contains(url.absoluteString()); }
  void add(const VmkURL& url) {
    if (seenTexts.insert(url.absoluteString()).second) seen.push_back(url);
  }
};

// What the progress display shows.
struct LinkCheckProgress {
  UString title;
  UString subtitle;
  bool determinate = false;
  int maximum = 0;
  int value = 0;
  int checking = 0;
  int finished = 0;
  int total = 0;
  int errors = 0;
  int cautions = 0;
};

// The progress display of a check (a sheet over the results window). The default shows nothing.
class LinkCheckDisplay {
 public:
  virtual ~LinkCheckDisplay() = default;
  // False when the display cannot be loaded; the check goes on without it.
  virtual bool load() { return true; }
  virtual void beginSheet(const LinkCheckProgress& /*progress*/) {}
  virtual void update(const LinkCheckProgress& /*progress*/) {}
  virtual void endSheet() {}
};

// The start panel of a site check: shows the mode and the depth and answers whether to start,
// with the values chosen. The default starts at once with the values shown.
class RecursiveStartPanel {
 public:
  virtual ~RecursiveStartPanel() = default;
  virtual bool load() { return true; }
  // mode and depth hold the settings' values and receive the chosen ones.
  virtual bool run(int& /*mode*/, int& /*depth*/) { return true; }
};

class VmkLinkChecker {
 public:
  // The shared checker, created on first use and kept until the process ends.
  static VmkLinkChecker& sharedLinkChecker();

  // A checker of its own (tests); probes go through `session` (nullptr: the shared session).
  explicit VmkLinkChecker(NetworkSession* session = nullptr);
  ~VmkLinkChecker();
  VmkLinkChecker(const VmkLinkChecker&) = delete;
  VmkLinkChecker& operator=(const VmkLinkChecker&) = delete;

  // ---- Checking one document ----

  // Checks every link of the document (with withHTMLCheck, after validating it with display).
  // A document without tags ends here, with nothing shown. A check that is running gives way.
  void checkLinkForDocument(HostDocument& document, bool withHTMLCheck, bool withSound);

  // Counting, called by the probes.
  void increaseErrorCount() { ++errorCount_; }
  void increaseCautionCount() { ++cautionCount_; }
  void increaseFinishedCount() { ++finishedCount_; }
  void decreaseCheckingCount() { --checkingCount_; }
  // Refreshes the progress display, and ends the check when every probe finished and no page
  // waits (never while a scan is still starting probes).
  void updateCountDisplay();
  // Cancels every probe (each counts as finished), empties the page queue, and ends the check.
  void cancelClicked();

  // ---- Site check ----

  // Shows the start panel for a check from the document; starts it when the panel says so.
  void recursiveCheckFromDocument(HostDocument& document);
  // Starts a site check from the document: its file, else its remote address, is the start
  // page; nothing happens when it has neither.
  void startRecursiveCheckFrom(HostDocument& document, bool withSound);
  // Checks one page of the site check and starts its probes.
  void recursiveCheckForDocument(HostDocument& document, int depth);
  // The page timer: opens the next page of the queue, while few probes run.
  void checkNextPage();

  // The host closed a document: its running probes stop (counted as finished without error)
  // and nothing is recorded for it any more.
  void documentWillClose(HostDocument& document);

  // A setting that holds for the next check only (the mode and depth a script asks for): it
  // is in force at once and removed when that check ends or gives way.
  void setRunOnlySetting(const std::string& key, int64_t value);

  // ---- Surroundings ----

  // The host's document controller, which opens the pages of a site check (not owned).
  void setDocumentController(HostDocumentController* controller) {
    documentController_ = controller;
  }
  // nullptr: no display.
  void setProgressDisplay(LinkCheckDisplay* display) { display_ = display; }
  void setRecursiveStartPanel(RecursiveStartPanel* panel) { startPanel_ = panel; }
  // Whether a host script command is running now (it is then held until the check ends).
  void setScriptCommandTest(std::function<bool()> test) { scriptCommandTest_ = std::move(test); }
  // Told at the end of every check, after the summary line (a script command held back is
  // resumed then). The handlers stay set.
  void addCheckEndedHandler(std::function<void()> handler) {
    endedHandlers_.push_back(std::move(handler));
  }

  // ---- State ----

  bool isChecking() const { return checking_; }
  int checkingCount() const { return checkingCount_; }
  int finishedCount() const { return finishedCount_; }
  int totalCount() const { return totalCount_; }
  int errorCount() const { return errorCount_; }
  int cautionCount() const { return cautionCount_; }
  int checkingDepth() const { return checkingDepth_; }
  // The probes of the running check, in the order they were started.
  const std::vector<std::unique_ptr<VmkURLtoCheck>>& checkURLArray() const {
    return checkURLArray_;
  }
  // The documents the last check checked, in order (one for a document's check).
  const std::vector<HostDocument*>& checkedDocuments() const { return checkedDocuments_; }
  // The pages of the running site check; nullptr otherwise.
  const RecursivePages* recursivePages() const { return pages_.get(); }
  // Whether the last check ended with a held script command resumed.
  bool resumedScriptCommand() const { return resumedScriptCommand_; }
  const LinkCheckProgress& progress() const { return progress_; }
  NetworkSession& session();

 private:
  // One linking attribute value found by the scan.
  struct FoundLink {
    std::optional<VmkURL> url;
    Range valueRange;
    UString value;
  };
  // The link values of the checker's last run over `document` that pass the local and remote
  // switches, in source order.
  std::vector<FoundLink> scanLinks(const VmkHTMLChecker& checker, HostDocument& document) const;
  // Starts a probe and counts it.
  void startProbe(std::unique_ptr<VmkURLtoCheck> probe);
  // Gives way to a new check: the running probes stop without being counted.
  void abandonRunningCheck();
  void endCheck();
  void restoreSettings();
  void holdScriptCommand();
  void armPageTimer();
  void retireProbes();
  // Cancels the site check after a page could not be opened.
  void pageFailed(const std::string& address);
  static UString pageTitle(HostDocument& document);

  NetworkSession* session_;
  HostDocumentController* documentController_ = nullptr;
  LinkCheckDisplay* display_ = nullptr;
  RecursiveStartPanel* startPanel_ = nullptr;
  std::function<bool()> scriptCommandTest_;
  std::vector<std::function<void()>> endedHandlers_;

  std::vector<std::unique_ptr<VmkURLtoCheck>> checkURLArray_;
  // Probes of an ended check: a probe may be in the middle of its own callback when the check
  // ends, so they are destroyed on the loop's next turn.
  std::vector<std::unique_ptr<VmkURLtoCheck>> retiredProbes_;
  uint64_t retireTimer_ = 0;
  std::unique_ptr<RecursivePages> pages_;
  std::optional<VmkURL> rootURL_;
  uint64_t nextCheckTimer_ = 0;
  std::vector<HostDocument*> checkedDocuments_;
  std::vector<std::string> runOnlyKeys_;
  bool withHtmlCheck_ = false;
  bool soundFlag_ = false;
  bool checking_ = false;
  bool scanning_ = false;
  bool suspendedScrpitCommand_ = false;
  bool resumedScriptCommand_ = false;
  bool displayLoaded_ = false;
  bool displayAvailable_ = false;
  bool openingAutoCheckHeld_ = false;
  HostDocument* rootDocument_ = nullptr;
  int checkingCount_ = 0;
  int finishedCount_ = 0;
  int totalCount_ = 0;
  int errorCount_ = 0;
  int cautionCount_ = 0;
  int checkingDepth_ = 0;
  LinkCheckProgress progress_;
};

// The shared link checker (same as VmkLinkChecker::sharedLinkChecker()).
VmkLinkChecker& sharedLinkChecker();

}  // namespace vmk
