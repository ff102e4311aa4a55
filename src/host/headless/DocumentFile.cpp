#include "host/headless/DocumentFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <utility>

#include "host/HostDocument.h"
#include "support/Digest.h"
#include "support/Paths.h"
#include "support/Regex.h"

namespace vmk {

namespace {

constexpr std::string_view kUtf8BOM = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEBOM = "\xFF\xFE";
constexpr std::string_view kUtf16BEBOM = "\xFE\xFF";
// How much of a file is searched for a charset declaration.
constexpr size_t kDeclarationWindow = 4096;

std::string narrowAscii(UStringView text) {
  std::string narrow(text.size(), '\0');
  std::transform(text.begin(), text.end(), narrow.begin(),
                 [](char16_t c) { return static_cast<char>(c & 0x7F); });
  return narrow;
}

// Whether a text decoded from these bytes can hold a CR. In UTF-8 a CR is always the byte
// 0x0D (and replaced bytes become U+FFFD), so a quick look at the bytes spares a pass over the
// twice as large text; other encodings are not trusted with that.
bool mayHoldCR(std::string_view bytes, const Encoding& encoding) {
  return !encoding.isUTF8() || std::memchr(bytes.data(), '\r', bytes.size()) != nullptr;
}

DecodedDocument finish(UString text, Encoding encoding, bool hasBOM, bool errors, bool withCR) {
  DecodedDocument decoded;
  decoded.lineEndings = detectLineEndings(text);
  if (withCR) normalizeLineEndingsInPlace(text);
  decoded.text = std::move(text);
  decoded.encoding = std::move(encoding);
  decoded.hasBOM = hasBOM;
  decoded.decodingErrors = errors;
  return decoded;
}

// Strict decoding first; the lenient one (U+FFFD for bad bytes) only when that fails.
DecodedDocument decodeWith(std::string_view bytes, const Encoding& encoding, bool hasBOM) {
  const bool withCR = mayHoldCR(bytes, encoding);
  if (std::optional<UString> text = encoding.decode(bytes, true)) {
    return finish(std::move(*text), encoding, hasBOM, false, withCR);
  }
  return finish(encoding.decode(bytes, false).value_or(UString()), encoding, hasBOM, true, withCR);
}

// UTF-16 written without a byte order mark. Markup begins with ASCII, which UTF-16 writes as
// a zero byte beside each ASCII byte: the file must start (after white space) with "<" in that
// form, and most units near the start must be ASCII ones. Which byte is zero tells the order.
std::optional<Encoding> utf16WithoutByteOrderMark(std::string_view bytes) {
  const size_t sample = std::min<size_t>(bytes.size(), 1024) & ~size_t(1);
  if (sample < 4) return std::nullopt;
  for (const bool little : {true, false}) {
    auto unitAt = [&](size_t i) {
      const auto low = static_cast<unsigned char>(bytes[little ? i : i + 1]);
      const auto high = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
      return char16_t(high << 8 | low);
    };
    size_t i = 0;
    while (i < sample &&
           (unitAt(i) == u' ' || unitAt(i) == u'\t' || unitAt(i) == u'\n' || unitAt(i) == u'\r'))
      i += 2;
    if (i >= sample || unitAt(i) != u'<') continue;
    size_t ascii = 0;
    for (size_t k = 0; k < sample; k += 2) {
      const char16_t unit = unitAt(k);
      if (unit != 0 && unit < 0x80) ++ascii;
    }
    if (ascii * 4 >= (sample / 2) * 3) return little ? Encoding::utf16LE() : Encoding::utf16BE();
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> declaredCharsetNames(std::string_view bytes) {
  static const Regex xmlDeclaration(
      R"(\A\s*<\?xml\s[^>]*?\bencoding\s*=\s*["']\s*([A-Za-z0-9._:\-]+))", Regex::kIgnoreCase);
  static const Regex metaCharset(R"(<meta\s[^>]*?\bcharset\s*=\s*["']?\s*([A-Za-z0-9._:\-]+))",
                                 Regex::kIgnoreCase);
  static const Regex doctype(R"(<!DOCTYPE\s[^>]*>)", Regex::kIgnoreCase);
  static const Regex xhtml("XHTML", Regex::kIgnoreCase);
  const UString head = widenBytes(bytes.substr(0, kDeclarationWindow));
  // An HTML document's XML declaration (an XHTML page renamed, or left over) does not name
  // its encoding: only its meta element does.
  bool xmlDeclarationCounts = true;
  if (std::optional<RegexMatch> found = doctype.firstMatch(head)) {
    const Range range = found->range(0);
    xmlDeclarationCounts =
        xhtml.firstMatch(UStringView(head).substr(range.location, range.length)).has_value();
  }
  std::vector<std::string> names;
  for (const Regex* pattern : {&xmlDeclaration, &metaCharset}) {
    if (pattern == &xmlDeclaration && !xmlDeclarationCounts) continue;
    if (std::optional<RegexMatch> match = pattern->firstMatch(head)) {
      if (std::optional<UString> name = match->text(head, 1)) names.push_back(narrowAscii(*name));
    }
  }
  return names;
}

namespace {

// The encodings the declarations near the start name, in order, when they are known and can
// be right (the declarations were read as ASCII, so a UTF-16 one cannot be).
std::vector<Encoding> usableDeclaredEncodings(std::string_view bytes) {
  std::vector<Encoding> usable;
  for (const std::string& name : declaredCharsetNames(bytes)) {
    Encoding declared = Encoding::fromName(name);
    if (declared.valid() && !declared.isUTF16()) usable.push_back(std::move(declared));
  }
  return usable;
}

// The byte order mark the bytes start with and the encoding it names.
std::optional<std::pair<std::string_view, Encoding>> byteOrderMark(std::string_view bytes) {
  if (bytes.starts_with(kUtf8BOM)) return std::make_pair(kUtf8BOM, Encoding::utf8());
  if (bytes.starts_with(kUtf16LEBOM)) return std::make_pair(kUtf16LEBOM, Encoding::utf16LE());
  if (bytes.starts_with(kUtf16BEBOM)) return std::make_pair(kUtf16BEBOM, Encoding::utf16BE());
  return std::nullopt;
}

}  // namespace

DecodedDocument decodeDocumentBytes(std::string_view bytes, const std::optional<Encoding>& forced) {
  const auto mark = byteOrderMark(bytes);
  if (forced && forced->valid()) {
    // A mark of the same encoding is still a mark, not a character of the text.
    if (mark && mark->second == *forced) {
      return decodeWith(bytes.substr(mark->first.size()), *forced, true);
    }
    return decodeWith(bytes, *forced, false);
  }
  if (mark) return decodeWith(bytes.substr(mark->first.size()), mark->second, true);

  if (const std::optional<Encoding> utf16 = utf16WithoutByteOrderMark(bytes)) {
    if (std::optional<UString> text = utf16->decode(bytes, true)) {
      return finish(std::move(*text), *utf16, false, false, mayHoldCR(bytes, *utf16));
    }
  }

  // One strict UTF-8 decoding tells both whether the bytes are UTF-8 and whether they hold
  // anything but ASCII: only ASCII bytes give one code unit each. Well-formed UTF-8 with
  // characters beyond ASCII is UTF-8 whatever the document declares.
  std::optional<UString> utf8 = Encoding::utf8().decode(bytes, true);
  const bool withCR = utf8 && mayHoldCR(bytes, Encoding::utf8());
  if (utf8 && utf8->size() < bytes.size()) {
    return finish(std::move(*utf8), Encoding::utf8(), false, false, withCR);
  }
  for (const Encoding& declared : usableDeclaredEncodings(bytes)) {
    if (declared.isUTF8() && !utf8) continue;  // already known not to decode
    // ASCII bytes: an encoding that keeps ASCII gives the text just decoded.
    if (utf8 && declared.keepsAscii()) {
      return finish(std::move(*utf8), declared, false, false, withCR);
    }
    if (std::optional<UString> text = declared.decode(bytes, true)) {
      return finish(std::move(*text), declared, false, false, mayHoldCR(bytes, declared));
    }
  }
  if (utf8) return finish(std::move(*utf8), Encoding::utf8(), false, false, withCR);
  return decodeWith(bytes, Encoding::windowsLatin1(), false);
}

std::optional<DecodedDocument> decodeUtf8DocumentFile(const std::string& path, uint64_t maxSize) {
  constexpr size_t kStep = size_t(1) << 20;  // stays in the processor's cache between steps
  UString text;
  uint64_t size = 0;
  uint64_t decodedBytes = 0;
  bool started = false;
  bool hasBOM = false;
  bool withCR = false;
  // What the declarations make of a file that turns out to be all ASCII.
  std::optional<Encoding> declared;
  TextDigest digest;
  auto consume = [&](std::string_view bytes, bool atEnd) -> size_t {
    size_t skipped = 0;
    if (!started) {
      // The start decides, as decodeDocumentBytes does: UTF-8 or leave it to that.
      started = true;
      if (bytes.starts_with(kUtf8BOM)) {
        hasBOM = true;
        skipped = kUtf8BOM.size();
      } else {
        if (bytes.starts_with(kUtf16LEBOM) || bytes.starts_with(kUtf16BEBOM) ||
            utf16WithoutByteOrderMark(bytes)) {
          return kStopReading;
        }
        const std::vector<Encoding> usable = usableDeclaredEncodings(bytes);
        if (!usable.empty()) declared = usable.front();
      }
      // Sizes the whole-file path refuses are left to it.
      if (size > std::min<uint64_t>(maxSize, std::numeric_limits<int32_t>::max()))
        return kStopReading;
      text.reserve(size_t(size));
    }
    const std::string_view rest = bytes.substr(skipped);
    const size_t complete = atEnd ? rest.size() : completeUtf8Prefix(rest);
    const std::string_view part = rest.substr(0, complete);
    if (!withCR && std::memchr(part.data(), '\r', part.size())) withCR = true;
    const size_t before = text.size();
    if (!appendUtf8Strictly(part, text)) return kStopReading;
    decodedBytes += part.size();
    // The digest of the text the document starts with, from the units just written.
    digest.add(UStringView(text).substr(before));
    return skipped + complete;
  };
  if (!readRegularFileInSteps(path, kStep, consume, &size)) return std::nullopt;
  if (text.size() > size_t(std::numeric_limits<int32_t>::max())) return std::nullopt;  // it grew
  Encoding encoding = Encoding::utf8();
  if (!hasBOM && text.size() == decodedBytes && declared && !declared->isUTF8()) {
    // All ASCII: the declared encoding counts. One that reads ASCII otherwise is left to the
    // whole-file path.
    if (!declared->keepsAscii()) return std::nullopt;
    encoding = *declared;
  }
  if (text.capacity() > 4096 && text.capacity() / 2 > text.size()) text.shrink_to_fit();
  DecodedDocument decoded = finish(std::move(text), std::move(encoding), hasBOM, false, withCR);
  if (!withCR) decoded.digest = digest.hex();  // CRs change the text after decoding
  return decoded;
}

std::optional<std::string> encodeDocumentText(UStringView text, const Encoding& encoding,
                                              int lineEndings, bool withBOM,
                                              std::string* errorOut) {
  if (!encoding.valid()) {
    if (errorOut) *errorOut = "the document has no valid text encoding";
    return std::nullopt;
  }
  // Line feeds are written as they are without a copy of the text.
  UString changedEnds;
  if (lineEndings == kLineEndingsCR || lineEndings == kLineEndingsCRLF)
    changedEnds = restoreLineEndings(text, lineEndings);
  const UStringView restored = lineEndings == kLineEndingsCR || lineEndings == kLineEndingsCRLF
                                   ? UStringView(changedEnds)
                                   : text;
  std::optional<std::string> bytes = encoding.encodeLossless(restored);
  if (!bytes) {
    if (errorOut) {
      // Name the first character that does not fit, to help the user find it.
      std::string detail;
      for (size_t i = 0; i < restored.size(); ++i) {
        size_t width =
            (i + 1 < restored.size() && restored[i] >= 0xD800 && restored[i] < 0xDC00) ? 2 : 1;
        if (!encoding.canConvertWithoutLoss(restored.substr(i, width))) {
          detail = " (the first is \"" + toUtf8(restored.substr(i, width)) + "\")";
          break;
        }
        i += width - 1;
      }
      *errorOut = "some characters cannot be written in the encoding " + encoding.ianaName() +
                  detail + "; the file was not changed";
    }
    return std::nullopt;
  }
  if (!withBOM) return bytes;
  std::string_view bom;
  if (encoding == Encoding::utf8()) {
    bom = kUtf8BOM;
  } else if (encoding == Encoding::utf16LE()) {
    bom = kUtf16LEBOM;
  } else if (encoding == Encoding::utf16BE()) {
    bom = kUtf16BEBOM;
  }
  // Other encodings (Encoding::utf16() writes its own mark) get none.
  return std::string(bom) + *bytes;
}

int detectLineEndings(UStringView text) {
  size_t found = text.find_first_of(u"\r\n");
  if (found == UStringView::npos || text[found] == u'\n') return kLineEndingsLF;
  if (found + 1 < text.size() && text[found + 1] == u'\n') return kLineEndingsCRLF;
  return kLineEndingsCR;
}

UString normalizeLineEndings(UStringView text) {
  UString result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      result.push_back(u'\n');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      result.push_back(text[i]);
    }
  }
  return result;
}

void normalizeLineEndingsInPlace(UString& text) {
  size_t cr = findCodeUnit(text, u'\r');
  if (cr == UString::npos) return;
  // The runs between CRs move down as blocks.
  char16_t* data = text.data();
  const size_t size = text.size();
  size_t to = cr;
  while (cr != UString::npos) {
    data[to++] = u'\n';
    size_t from = cr + 1;
    if (from < size && data[from] == u'\n') ++from;
    cr = findCodeUnit(text, u'\r', from);
    const size_t runEnd = cr == UString::npos ? size : cr;
    if (to != from) std::memmove(data + to, data + from, (runEnd - from) * sizeof(char16_t));
    to += runEnd - from;
  }
  text.resize(to);
}

UString restoreLineEndings(UStringView text, int lineEndings) {
  if (lineEndings != kLineEndingsCR && lineEndings != kLineEndingsCRLF) return UString(text);
  UString result;
  result.reserve(text.size() + (lineEndings == kLineEndingsCRLF ? text.size() / 16 : 0));
  for (char16_t c : text) {
    if (c != u'\n') {
      result.push_back(c);
    } else if (lineEndings == kLineEndingsCR) {
      result.push_back(u'\r');
    } else {
      result.append(u"\r\n");
    }
  }
  return result;
}

bool isHTMLDocument(const std::optional<std::string>& fileName, UStringView text) {
  if (fileName) {
    std::string name = lastPathComponent(*fileName);
    if (size_t dot = name.rfind('.'); dot != std::string::npos) {
      std::string extension = name.substr(dot + 1);
      std::transform(extension.begin(), extension.end(), extension.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (extension == "html" || extension == "htm" || extension == "xhtml" ||
          extension == "shtml") {
        return true;
      }
    }
  }
  size_t start = 0;
  if (start < text.size() && text[start] == 0xFEFF) ++start;
  while (start < text.size() &&
         (text[start] == u' ' || text[start] == u'\t' || text[start] == u'\n' ||
          text[start] == u'\r' || text[start] == u'\f')) {
    ++start;
  }
  UString head = asciiLowercase(text.substr(start, 9));
  return head.starts_with(u"<!doctype") || head.starts_with(u"<html");
}

std::string lastPathComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos || path.size() == 1) return std::string(path);
  return std::string(path.substr(slash + 1));
}

}  // namespace vmk
