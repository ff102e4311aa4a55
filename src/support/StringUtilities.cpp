#include "support/StringUtilities.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

namespace vmk {
namespace {

bool copiedAsIs(unsigned char byte) {
  if (byte < 0x20 || byte > 0x7E) return false;
  switch (byte) {
    case ' ':
    case '<':
    case '>':
    case '[':
    case ']':
    case '^':
    case '`':
    case '|':
    case '{':
    case '}':
    case '\\':
      return false;
    default:
      return true;
  }
}

// The bytes of the text in the encoding; a stretch it cannot hold goes in as UTF-8.
std::string encodedBytes(UStringView text, const Encoding& encoding) {
  if (!encoding.valid() || encoding.isUTF8()) return toUtf8(text);
  if (std::optional<std::string> whole = encoding.encodeLossless(text)) return *whole;
  std::string bytes;
  size_t runStart = 0;
  auto flushRun = [&](size_t end) {
    if (end > runStart)
      bytes += encoding.encodeLossless(text.substr(runStart, end - runStart))
                   .value_or(toUtf8(text.substr(runStart, end - runStart)));
  };
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    if (i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      n = 2;
    const UStringView character = text.substr(i, n);
    if (!encoding.canConvertWithoutLoss(character)) {
      flushRun(i);
      bytes += toUtf8(character);
      runStart = i + n;
    }
    i += n;
  }
  flushRun(text.size());
  return bytes;
}

}  // namespace

UString URLStringInEncoding(UStringView text, const Encoding& encoding, int lineEndings) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  const std::string bytes = encodedBytes(text, encoding);
  UString out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (copiedAsIs(byte)) {
      out.push_back(char16_t(byte));
    } else if (byte == 0x0A) {
      out += lineEndings == 2 ? u"%0D%0A" : lineEndings == 3 ? u"%0A" : u"%0D";
    } else {
      out.push_back(u'%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
  return out;
}

UString toZenkaku(UStringView text) {
  if (text.empty()) return UString();
  static std::mutex mutex;
  static std::unique_ptr<icu::Transliterator> transliterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance("Halfwidth-Fullwidth", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) made.reset();
    return made;
  }();
  if (!transliterator) return UString(text);
  icu::UnicodeString converted(text.data(), int32_t(text.size()));
  {
    const std::lock_guard<std::mutex> lock(mutex);
    transliterator->transliterate(converted);
  }
  UString out(reinterpret_cast<const char16_t*>(converted.getBuffer()), size_t(converted.length()));
  return out.empty() ? UString(text) : out;
}

}  // namespace vmk
