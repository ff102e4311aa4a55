// The principal: the one object the host talks to. It builds the process-wide tables at
// start-up, follows the host's document events and forwards commands to the checker and the
// result store. It shows no window itself; a front end with windows adds them around it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/DictionariesMenu.h"
#include "plugin/HostVersion.h"
#include "support/Plist.h"
#include "support/Text.h"
#include "transform/TransformItems.h"

namespace vmk {

class HostDocument;
class HostDocumentController;
class VmkTagCommands;
struct VmkAttributeValue;

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
  // returns the number of error locations kept. With the link flag the links are checked too
  // (the combined check); the number is then that of the markup's errors and cautions, and the
  // check goes on until the link checker ends it.
  int32_t validateHTMLfor(HostDocument& document, bool linkCheck, bool sound);
  // The minimizer, asking first only with withConfirm.
  TransformOutcome minimizeHTMLfor(HostDocument& document, bool withConfirm);
  // Repairs every repairable error of the document (no alert: a script command), then
  // validates it with results shown and the given sound.
  void correctHTMLfor(HostDocument& document, bool sound);
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

  // ===== Entry points without a window: document renaming, version, host checks =====

  // A renamed document that has a file shows its results again under the new name.
  void documentNameChanged(HostDocument& document);
  // The plug-in's "CFBundleVersion".
  static std::string versionString();
  // Start-up's host check, for a host of this short version: when it is too old, the alert
  // (answered through the platform) and removal of the plug-in; true when it may start.
  bool checkHostVersion(std::string_view hostShortVersion);
  // Removal of the plug-in file; it has no effect outside a windowed host, which moves the
  // file to the trash and quits.
  void uninstallPlugin(std::string_view pluginFileName);
  // The update notice. `versions`: bundle identifier -> {"version", "url", "data"}. Up to date:
  // an alert only when `notify` is set; a newer version: the alert offering it, whose
  // download buttons open its "url" (the default one the history page too). Always true.
  bool checkForUpdatesAndNotifyIfUnsuccessful(bool notify, const PlistDict& versions);
  // The colour panel's choice, inserted over the front document's selection as "#RRGGBB" in
  // quotation marks (an undoable edit through its text view). False without a front document.
  bool colorPanelOKClicked(double red, double green, double blue);

  // ===== Tag commands (menu commands and script entry points) =====

  // The tag commands over the shared checker, showing dictionaries in the shared browser.
  VmkTagCommands& tagCommands();
  // Menu commands: the tag at the caret (wide), its partner, its element, its dictionary entry.
  int32_t selectTagFor(HostDocument& document);
  bool selectPairTagFor(HostDocument& document);
  bool selectElementFor(HostDocument& document);
  bool htmlElementHelpFor(HostDocument& document);
  // Script entry points, answered by the tag commands.
  bool isEmptyElement(UStringView name, HostDocument& document);
  UString getTagNameFor(HostDocument& document);
  std::optional<std::vector<VmkAttributeValue>> getAttributesFor(HostDocument& document);
  bool selectAttribute(UStringView name, bool valueOnly, HostDocument& document);
  bool setAttribute(UStringView name, std::optional<UStringView> value, HostDocument& document);
  bool relativeURLJumpForIndex(uint32_t index, HostDocument& document);
  bool isInElement(UStringView name, HostDocument& document);
  // Opens the element reference's page of an element (its index page for a name without one)
  // through the platform; answers the address.
  std::string openWDGHelpForElement(UStringView element);

  // ===== Dictionary folder =====

  // The dictionaries menu: the installed names, a separator, the folder item.
  std::vector<DictionariesMenuItem> dictionariesMenu() const;
  // A dictionaries menu item chosen: opens the dictionary its title names.
  bool openHTMLDictionary(const DictionariesMenuItem& item);
  // Shows an installed dictionary in the dictionary browser; false when it cannot be read.
  bool openHTMLDictionaryWithName(UStringView name);
  // Asks the platform to show the dictionaries folder in the file manager.
  bool showDictionarieFolder();

 private:
  HostDocumentController* documentController_ = nullptr;
  bool removeVelumark_ = false;
  std::unique_ptr<VmkTagCommands> tagCommands_;
};

// The principal of the process (set by awakeFromNib), or nullptr.
extern QkChecker* gQkCheckerInstance;

// The sounds offered for the result sounds: the three built-in ones, then the file names
// (without extension) in the user's, the system's and the local sound folders.
const std::vector<std::string>& gSoundArray();

}  // namespace vmk
