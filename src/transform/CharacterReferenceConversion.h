// Turning characters into references: the markup-aware conversion of a fragment of a document
// and the plain-text conversion of any text.
#pragma once

#include <optional>
#include <string_view>

#include "support/Text.h"

namespace vmk {

// The HTML 4 entity name of a Latin-1 character from U+00A0 ("nbsp") to U+00FF ("yuml");
// empty for any other code unit.
std::string_view latin1EntityName(UChar16 c);

// The markup-aware conversion: "<" and ">" that do not open or close a comment, processing
// instruction or declaration become "&lt;" and "&gt;", an "&" that starts no reference becomes
// "&amp;", a reference without its ";" gets one, and U+00A0 ... U+00FF become their entity
// references. Absent when nothing had to change.
//
// `context` is the whole text the fragment was cut from and `fragmentStart` its place there:
// whether an "&" starts a reference is decided on the whole text, so that a fragment that cuts
// a reference short does not turn its start into "&amp;". Without a context the fragment is
// the whole text.
std::optional<UString> toCharRefString(UStringView fragment, UStringView context = {},
                                       size_t fragmentStart = 0);

// The plain-text conversion: "<", ">", "&" (always) and the double quotation mark become
// references, and so do U+00A0 ... U+00FF. Absent when nothing had to change.
std::optional<UString> toDirectCharRefString(UStringView text);

}  // namespace vmk
