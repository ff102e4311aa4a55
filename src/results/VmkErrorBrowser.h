// The result store: for every checked object (an open document, or the address of a document
// that was checked and closed) the error locations found and the digest of the text they refer
// to. It keeps stored ranges in step with edits, re-keys entries when documents close and open
// again, composes the summary that ends a check, and writes the results to a file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ResultsDisplay.h"
#include "errors/VmkErrorLocation.h"
#include "results/ResultsView.h"
#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

class HostDocument;

// One checked object's results ("VMK_OBJECT_KEY", "VMK_LOCATIONS_KEY", "VMK_DOC_MD5_KEY").
struct VmkResultEntry {
  ResultObject object;
  VmkErrorLocationList locations;
  // The digest of the text the locations refer to: "" after an edit dropped locations; absent
  // when no digest was available.
  std::optional<std::string> digest;
};

// Set when an edit hit a document with too many stored locations to follow; the next
// activation of the results window re-checks the front document.
extern bool gDoAutoCheck;

// Above this many records an edit is not followed record by record.
inline constexpr size_t kMaxTrackedErrorLocations = 150;

// Export formats ("Vmk_CheckResultSaveFormat").
inline constexpr int kResultFormatAnnotated = 0;
inline constexpr int kResultFormatTabSeparated = 1;

class VmkErrorBrowser : public ResultsDisplay {
 public:
  // The process-wide store, created on first use with a headless view; it installs itself as
  // the checker's results display.
  static VmkErrorBrowser& sharedErrorBrowser();

  // A store of its own (tests); it shows itself in `view`, or in a headless view of its own.
  explicit VmkErrorBrowser(ResultsView* view = nullptr);
  ~VmkErrorBrowser() override;
  VmkErrorBrowser(const VmkErrorBrowser&) = delete;
  VmkErrorBrowser& operator=(const VmkErrorBrowser&) = delete;

  ResultsView& view() { return *view_; }
  // Replaces the view (nullptr: back to the store's own headless view). Not owned.
  void setResultsView(ResultsView* view);
  // The store's own headless view (also when another view is set).
  HeadlessResultsView& headlessView() { return *ownView_; }

  // The entries, or nullptr while the list does not exist.
  const std::vector<VmkResultEntry>* errorResultArray() const {
    return errorResultArray_ ? &*errorResultArray_ : nullptr;
  }
  // The entry of an object, or nullptr.
  const VmkResultEntry* entryForObject(const ResultObject& object) const;

  // --- Store operations ---
  void addErrorLocation(const VmkErrorLocationRef& location, const ResultObject& object);
  void mergeErrorLocations(const VmkErrorLocationList& locations, const ResultObject& object);
  void mergeErrorLocations(const VmkErrorLocationList& list, HostDocument& document) override {
    mergeErrorLocations(list, ResultObject(&document));
  }
  void clearErrorLocationsForObject(const ResultObject& object);
  void clearErrorLocationsForDocument(HostDocument& document) override {
    clearErrorLocationsForObject(ResultObject(&document));
  }
  // Re-keys the entry of `from` to `to`, or drops it when `to` is std::monostate.
  void replaceObjectFrom(const ResultObject& from, const ResultObject& to);
  // Reconnects a closed document's entry to the document opened again; true when the
  // document still needs a check.
  bool documentDidOpened(HostDocument& document);
  // Follows an edit: `range` is the edited range in the new text, `length` the change in length.
  void documentDidEdited(HostDocument& document, Range range, int64_t length);
  void getErrorCount(int& errorCount, int& cautionCount, const ResultObject& object);
  // Re-checks the document when its entry row is expanded.
  void updateResultsForDocument(HostDocument& document) override;
  // Empties the message line and discards the whole list.
  void clearAllErrors() override;
  // Deletes the rows of the given items (entries or location records), as the results view's
  // row deletion does. Selects the row above when the deleted row's place is left empty.
  void deleteRowItem(const ResultRowItem& item);

  // --- Summary and sound ---
  static UString errorSummaryForError(int errors, int cautions);
  UString errorSummaryForItem(const VmkResultEntry& entry) const;
  static std::string soundNameForError(int errors, int cautions);
  void dispErrorMessage(const UString& text) override;
  void dispErrorSummary(const VmkErrorLocationList& locations,
                        const std::optional<UString>& doctypeName, bool withSound) override;
  void dispErrorSummaryForError(int errors, int cautions, const std::optional<UString>& doctypeName,
                                bool withSound);
  void startSpiningBall() override;
  void stopSpiningBall() override;

  // --- Window-driven operations ---
  void open();
  void collapseAllItemsExceptFor(const ResultObject& object);
  void collapseAllItemsExceptFor(HostDocument& document) override {
    collapseAllItemsExceptFor(ResultObject(&document));
  }
  void expandItemFor(const ResultObject& object);
  void collapseItemFor(const ResultObject& object);
  // The results window became key while `frontmost` was the front document.
  void didBecomeKeyWindow(HostDocument* frontmost);
  void selectHTMLSourceForRowItem(const ResultRowItem& item, bool andDocWindowTofront);
  void setErrorDescriptionForItem(const ResultRowItem& item);
  // The name of an entry in the description and in exported files.
  static UString nameOfResultObject(const ResultObject& object);

  // --- Export ---
  // The text of all stored results in a format (0 annotated, any other tab-separated).
  std::string resultText(int formatType);
  // Writes the results to a file (atomically), then the host attribute record. False (with
  // *errorOut) when the text could not be written.
  bool saveResultTo(const std::string& path, int withFormatType, std::string* errorOut = nullptr);

  // The number of validations that updateResultsForDocument and didBecomeKeyWindow started
  // (through the shared checker); tests read it.
  int recheckCount() const { return recheckCount_; }
  // Set while a script command runs: re-checks on request then play no sound.
  void setScriptCommandRunning(bool running) { scriptCommandRunning_ = running; }
  // The rows as the view lists them: each entry, followed by its records when expanded.
  std::vector<ResultRowItem> rowItems() const;

 protected:
  // Validates a document with display on (the shared checker); overridden by tests.
  virtual void revalidateDocument(HostDocument& document, bool withSound);

 private:
  std::vector<VmkResultEntry>& ensureList();
  std::vector<VmkResultEntry>::iterator findEntry(const ResultObject& object);
  void removeEntryAt(std::vector<VmkResultEntry>::iterator it);
  // The shared checker's digest of its last run when that run checked `object`.
  static std::optional<std::string> lastCheckedDigestFor(const ResultObject& object);
  static void revalidateWithSharedChecker(HostDocument& document, bool withSound);

  std::optional<std::vector<VmkResultEntry>> errorResultArray_;
  std::unique_ptr<HeadlessResultsView> ownView_;
  ResultsView* view_ = nullptr;
  int recheckCount_ = 0;
  bool scriptCommandRunning_ = false;
};

// The shared store (same as VmkErrorBrowser::sharedErrorBrowser()).
VmkErrorBrowser& sharedErrorBrowser();

// Stores the host's document attribute record for a file: on Linux the extended attribute
// "user.quilldesk.attributes" holding the XML property list of `attributes`. Best effort:
// false when the file system refuses, nothing reported.
bool SaveOtherAttribute(const std::string& path, const PlistDict& attributes);
inline constexpr const char* kOtherAttributesXattrName = "user.quilldesk.attributes";

}  // namespace vmk
