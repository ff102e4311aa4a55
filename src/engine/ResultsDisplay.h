// What a validation run with display on tells the result store and the results window. The
// process has one display; until the front end installs its own, a silent one answers.
#pragma once

#include <optional>

#include "errors/VmkErrorLocation.h"
#include "support/Text.h"

namespace vmk {

class HostDocument;

class ResultsDisplay {
 public:
  virtual ~ResultsDisplay() = default;

  // The results window's busy indicator.
  virtual void startSpiningBall() {}
  virtual void stopSpiningBall() {}
  // Removes the results of every document from the result store.
  virtual void clearAllErrors() {}
  // Collapses every document's entry in the results window except this document's.
  virtual void collapseAllItemsExceptFor(HostDocument& /*document*/) {}
  // Shows a status text in the results window.
  virtual void dispErrorMessage(const UString& /*text*/) {}
  // Merges a run's error locations (sorted) into the result store under the document.
  virtual void mergeErrorLocations(const VmkErrorLocationList& /*list*/,
                                   HostDocument& /*document*/) {}
  // Shows the summary line of a run and, with the sound flag, plays the matching sound.
  // doctypeName: the display name of the dictionary used, absent when there was none.
  virtual void dispErrorSummary(const VmkErrorLocationList& /*list*/,
                                const std::optional<UString>& /*doctypeName*/, bool /*withSound*/) {
  }
  // Drops the locations the result store lists for the document.
  virtual void clearErrorLocationsForDocument(HostDocument& /*document*/) {}
  // Brings the document's results up to date (checks it again when they are shown expanded).
  virtual void updateResultsForDocument(HostDocument& /*document*/) {}
};

// True while automatic repair (or the beautifier or the minimizer) edits a document: the result
// store then follows every edit, however many records the document has.
extern bool gAutoCorrectingErros;

// The process-wide display (never null). setResultsDisplay(nullptr) restores the silent one;
// the display is not owned.
ResultsDisplay& resultsDisplay();
void setResultsDisplay(ResultsDisplay* display);

}  // namespace vmk
