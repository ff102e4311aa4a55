// Text utilities shared by the repairs and the source transformations: percent-escaping of a
// URL in a document's encoding, and half-width to full-width conversion of Japanese text.
#pragma once

#include "support/Encoding.h"
#include "support/Text.h"

namespace vmk {

// Percent-escapes a URL as it would be sent for a document in `encoding` whose line ends are
// `lineEndings` (the host's kinds: 1 CR, 2 CRLF, 3 LF). The text is encoded in the encoding
// (UTF-8 when it is not valid); characters the encoding cannot hold are written as their UTF-8
// bytes, never replaced. Bytes from 0x20 to 0x7E are copied except space, "<", ">", "[", "]",
// "^", "`", "|", "{", "}" and backslash; a line feed becomes %0D%0A (CRLF), %0A (LF) or %0D
// (any other kind); every other byte becomes "%" and two upper-case hexadecimal digits. "%",
// "#", "&" and the double quotation mark are not escaped, so existing escapes pass through.
UString URLStringInEncoding(UStringView text, const Encoding& encoding, int lineEndings);

// Half-width roman letters, digits, signs and katakana written in their full-width forms (a
// half-width katakana followed by a voiced sound mark becomes the one voiced character). What
// has no full-width form stays as it was, so a text that is not empty never comes back empty.
UString toZenkaku(UStringView text);

}  // namespace vmk
