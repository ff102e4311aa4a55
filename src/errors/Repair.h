// Automatic repair: the edits that make recorded errors go away, made through the host's
// editing protocol so that the host can undo them, and nothing else of the text touched.
//
// The operations work on a checker's last run (its document, its text, its error locations and
// what it found out about the document: dictionary, encodings, XHTML or not).
#pragma once

#include <cstdint>
#include <vector>

#include "errors/VmkErrorLocation.h"
#include "support/Text.h"
#include "support/TextEdits.h"

namespace vmk {

class HostDocument;
class VmkHTMLChecker;

// The checker's edit of its document (sourceDocument): asks the first text view whether the
// range may change, replaces the characters, announces the change. False, changing nothing,
// when the view refuses or there is no document.
bool replaceCharactersInRange(VmkHTMLChecker& checker, Range range, UStringView withString);

// Repairs one location of the checker's document. Returns the range whose location is the
// lowest place the repair changed (Range::notFound() when it changed nothing).
Range fixErrorAtLocation(VmkHTMLChecker& checker, const VmkErrorLocation& location);

// One pass over the locations (sorted in place by start): from the last to the first, each
// repaired unless it ends beyond the lowest place a repair of this pass changed. Returns how
// many were held back.
uint32_t fixErrorLocations(VmkHTMLChecker& checker, VmkErrorLocationList& locations);

// Repairs every repairable error of the document in up to four passes (checking it again
// silently between them), as one editing group, then checks it again with results shown.
void correctAllErrorsForDocument(VmkHTMLChecker& checker, HostDocument& document, bool sound);

// Repairs the given locations of the checker's document in one pass, then checks it again
// with results shown. Beeps and changes nothing unless the document is `frontmost`.
void correctSelectedErrorLocations(VmkHTMLChecker& checker, VmkErrorLocationList locations,
                                   const HostDocument* frontmost);

// The edits the repair of one location would make, as edits of the checker's text
// (sourceString(), which the location's range refers to): ascending, apart from one another,
// each a range of that text and its new characters. Worked out on a scratch copy; neither
// the document nor the checker changes. Empty when the repair would change no text (no repair
// for the code, nothing found to change, or a change of the document's encoding only).
// Safe to call for many locations of one run: a repair that needs only its range costs no
// copy of the text.
std::vector<TextEdit> fixEditsForErrorLocation(const VmkHTMLChecker& checker,
                                               const VmkErrorLocation& location);

// True when the code has a repair.
bool hasRepairForErrorCode(std::string_view code);
// Every code that has a repair, in the order of the repair table.
std::vector<std::string_view> repairableErrorCodes();

}  // namespace vmk
