// Turning a document file's bytes into text and back: encoding detection, byte order marks,
// line ends, and whether a document is HTML.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/Encoding.h"
#include "support/Text.h"

namespace vmk {

// The text of a document file and how it was stored.
struct DecodedDocument {
  UString text;  // line ends normalized to LF
  Encoding encoding;
  int lineEndings = 3;  // kLineEndingsLF
  bool hasBOM = false;
  bool decodingErrors = false;        // some bytes were replaced with U+FFFD
  std::optional<std::string> digest;  // digestHex(text), when worked out while decoding
};

// Bytes -> text. The encoding is the first of these that applies (both readers below follow
// this one list):
//  1. `forced` (a byte order mark of that same encoding is dropped as a mark);
//  2. the one a byte order mark names (UTF-8, UTF-16LE, UTF-16BE); UTF-16 without a mark when
//     the file starts with markup written that way (a "<" after white space, mostly ASCII
//     units) and decodes without error;
//  3. UTF-8 when the bytes are well-formed UTF-8 and not all ASCII, whatever is declared (the
//     strict UTF-8 decoding that tests it is the decoding);
//  4. a charset declared near the start (declaredCharsetNames, in its order), when it is known
//     and decodes the bytes without error;
//  5. UTF-8 when the bytes are ASCII, else windows-1252.
DecodedDocument decodeDocumentBytes(std::string_view bytes,
                                    const std::optional<Encoding>& forced = std::nullopt);

// The same for a regular file read in steps, for the common case only (nothing forced): a
// file without a UTF-16 look whose bytes are all well-formed UTF-8 gets the same result
// without its bytes ever held whole (all ASCII, the first declared charset names the encoding
// when it reads ASCII as ASCII). Absent for any other file (the caller reads it whole and
// decodes it as above).
// A file larger than maxSize bytes is not read.
std::optional<DecodedDocument> decodeUtf8DocumentFile(
    const std::string& path, uint64_t maxSize = std::numeric_limits<int32_t>::max());

// Text -> bytes: LF line ends turned into `lineEndings`, encoded without loss, byte order mark
// first when `withBOM` and the encoding has one. Absent (with *errorOut) when a character cannot
// be encoded.
std::optional<std::string> encodeDocumentText(UStringView text, const Encoding& encoding,
                                              int lineEndings, bool withBOM,
                                              std::string* errorOut = nullptr);

// The charsets declared in the first few kilobytes of an ASCII-compatible file, as written
// there, in the order they count: the XML declaration's encoding, then the meta element's
// charset. With a DOCTYPE that names no XHTML type (an HTML document) only the meta element's.
std::vector<std::string> declaredCharsetNames(std::string_view bytes);

// The kind of the first line end in the text (1 CR, 2 CRLF, 3 LF; LF when there is none).
int detectLineEndings(UStringView text);
// CRLF and lone CR become LF.
UString normalizeLineEndings(UStringView text);
// The same, in place (nothing is copied when the text has no CR).
void normalizeLineEndingsInPlace(UString& text);
// LF becomes the given kind's line end.
UString restoreLineEndings(UStringView text, int lineEndings);

// True for a file name with an HTML extension (.html .htm .xhtml .shtml, any case) or a text
// that starts, after an optional byte order mark and white space, with "<!DOCTYPE" or "<html"
// in any case.
bool isHTMLDocument(const std::optional<std::string>& fileName, UStringView text);

// The last component of a path ("" for an empty path).
std::string lastPathComponent(std::string_view path);

}  // namespace vmk
