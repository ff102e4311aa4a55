#include "engine/ResultsDisplay.h"

namespace vmk {

bool gAutoCorrectingErros = false;

namespace {

ResultsDisplay& silentDisplay() {
  static ResultsDisplay display;
  return display;
}

ResultsDisplay* gResultsDisplay = nullptr;

}  // namespace

ResultsDisplay& resultsDisplay() {
  return gResultsDisplay ? *gResultsDisplay : silentDisplay();
}

void setResultsDisplay(ResultsDisplay* display) {
  gResultsDisplay = display;
}

}  // namespace vmk
