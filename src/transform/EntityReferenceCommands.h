// The entity reference commands: characters of the selected text (or, after confirmation, of
// the whole text) turned into references, either as plain text or only where the markup holds
// text: text runs, comments and attribute values.
#pragma once

#include <string_view>

#include "support/Text.h"
#include "transform/TransformItems.h"

namespace vmk {

class HostDocument;
class VmkHTMLChecker;

// Asks whether the command may be applied to the whole document; true only for "OK".
bool wholeDocumentConfirmFor(const UString& commandName);

// Unconditionally: the plain-text conversion of the selected range (toDirectCharRefString);
// otherwise toSmartEntityReferenceFor. An edit the host refuses is skipped.
TransformOutcome toEntityReferenceFor(HostDocument& document, bool unconditionally);
TransformOutcome toEntityReferenceFor(HostDocument& document, bool unconditionally,
                                      VmkHTMLChecker& checker);

// The markup-aware conversion (toCharRefString) of the text runs, comments and attribute values
// inside the selected range, leaving alone the content of elements that hold character data
// (script, style).
TransformOutcome toSmartEntityReferenceFor(HostDocument& document);
TransformOutcome toSmartEntityReferenceFor(HostDocument& document, VmkHTMLChecker& checker);

}  // namespace vmk
