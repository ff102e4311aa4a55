// The principal: the one object the host talks to. It builds the process-wide tables at
// start-up, follows the host's document events and forwards commands to the checker and the
// result store. It shows no window itself; a front end with windows adds them around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/Text.h"

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

  // --- Scripting entry points ---
  // The display name of the dictionary the document is checked against.
  std::optional<UString> htmlDoctypeForDocument(HostDocument& document);
  void clearErrorResults();
  // Clears the document's results and validates it with display on and the given sound;
  // returns the number of error locations kept. With the link flag the links are checked too
  // (the combined check); the number is then that of the markup's errors and cautions, and the
  // check goes on until the link checker ends it.
  int32_t validateHTMLfor(HostDocument& document, bool linkCheck, bool sound);
  // With a path: writes all results there in the format (0 annotated, else tab-separated).
  // Without one: remembers the format for the next save dialog (there is none here) and writes
  // nothing. False (with *errorOut) when the file could not be written.
  bool svaeErrorResultsTo(const std::optional<std::string>& path, int format,
                          std::string* errorOut = nullptr);

  // --- Link checks ---
  // Each clears the document's results first (the site check clears all results). They
  // start the check and return; the link checker ends it (see VmkLinkChecker).
  void checkLinksFor(HostDocument& document);
  void checkBothFor(HostDocument& document);
  void recursiveCheckFor(HostDocument& document);
  // Script entry points: the given sound; the site check with the mode made of the two flags
  // (0 markup only, 1 links only, 2 both) and the depth, both for this check only. Nothing
  // when the depth is negative or both flags are off.
  void checkLinksFor(HostDocument& document, bool sound);
  void recursiveCheckFor(HostDocument& document, int maxDepth, bool linkCheck, bool htmlCheck,
                         bool sound);

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
