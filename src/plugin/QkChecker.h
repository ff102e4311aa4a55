// The principal: the one object the host talks to. It builds the process-wide tables at
// start-up, follows the host's document events and forwards commands to the checker and the
// result store. It shows no window itself; a front end with windows adds them around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/Text.h"
#include "transform/TransformItems.h"

namespace vmk {

class HostDocument;
class HostDocumentController;

class QkChecker {
 public:
  explicit QkChecker(HostDocumentController* documentController = nullptr);
  ~QkChecker();
  QkChecker(const QkChecker&) = delete;
  QkChecker& operator=(const QkChecker&) = delete;

  // Start-up, in this order: the support folder, the dictionaries (installed on first use) and
  // their names, the element help table, the charset tables, the sound names, the colour
  // tables, the link vocabulary. Makes this object gQkCheckerInstance.
  void awakeFromNib();
  // True when start-up decided that the plug-in must be removed (never, without a host check).
  bool removeVelumark() const { return removeVelumark_; }

  void setDocumentController(HostDocumentController* controller) {
    documentController_ = controller;
  }
  HostDocumentController* documentController() const { return documentController_; }
  // The host's front document, or nullptr.
  HostDocument* frontmostDocument() const;
  // Every command is enabled exactly for plain-text documents.
  bool validateMenuItem(const HostDocument& document) const;
  const std::vector<UString>& htmlDictionaryNames() const;

  // --- Document events ---
  void documentDidOpened(HostDocument& document);
  void documentDidEdited(HostDocument& document, Range range, int64_t length);
  void documentDidClosed(HostDocument& document);

  // --- Commands ---
  // Clears the document's results and validates it with display and sound.
  void validateHTMLFor(HostDocument& document);
  void openCheckResults();
  // The beautifier on the document; whole: the whole text, without asking about an empty
  // selection.
  TransformOutcome beautifyHTMLFor(HostDocument& document, bool whole);
  // The minimizer, asking first.
  TransformOutcome minimizeHTMLFor(HostDocument& document);
  // The entity reference conversion, plain text when unconditionally is set.
  TransformOutcome toEntityReferenceFor(HostDocument& document, bool unconditionally);

  // --- Scripting entry points ---
  // The display name of the dictionary the document is checked against.
  std::optional<UString> htmlDoctypeForDocument(HostDocument& document);
  void clearErrorResults();
  // Clears the document's results and validates it with display on and the given sound;
  // returns the number of error locations kept. The link check is not part of this build: the
  // link flag is accepted and the document's markup is validated.
  int32_t validateHTMLfor(HostDocument& document, bool linkCheck, bool sound);
  // The minimizer, asking first only with withConfirm.
  TransformOutcome minimizeHTMLfor(HostDocument& document, bool withConfirm);
  // With a path: writes all results there in the format (0 annotated, else tab-separated).
  // Without one: remembers the format for the next save dialog (there is none here) and writes
  // nothing. False (with *errorOut) when the file could not be written.
  bool svaeErrorResultsTo(const std::optional<std::string>& path, int format,
                          std::string* errorOut = nullptr);

  // The file of an installed dictionary by its display name.
  static std::string dictionaryPathWithName(UStringView name);

 private:
  HostDocumentController* documentController_ = nullptr;
  bool removeVelumark_ = false;
};

// The principal of the process (set by awakeFromNib), or nullptr.
extern QkChecker* gQkCheckerInstance;

// The sounds offered for the result sounds: the three built-in ones, then the file names
// (without extension) in the user's, the system's and the local sound folders.
const std::vector<std::string>& gSoundArray();

}  // namespace vmk
