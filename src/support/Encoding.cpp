// Text encodings through ICU converters.
//
// An Encoding stores ICU's canonical converter name: "UTF-8", "UTF-16", "US-ASCII",
// "ISO-8859-1", "ibm-5348_P100-1997" (windows-1252), "macos-0_2-10.2" (Mac OS Roman, IANA
// "macintosh"), "ibm-943_P15A-2003" (Shift_JIS, windows-31j, MS_Kanji), "euc-jp-2007" (EUC-JP),
// "ISO_2022,locale=ja,version=0" (ISO-2022-JP).
#include "support/Encoding.h"

#include <sys/mman.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>

namespace vmk {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr openConverter(const std::string& name) {
  if (name.empty()) return nullptr;  // ucnv_open("") would open the default converter
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

// Converters are reused: character checks ask about one character at a time. Each use sets
// its own callbacks, and ucnv_toUChars / ucnv_fromUChars reset the converter first.
UConverter* cachedConverter(const std::string& name) {
  thread_local std::unordered_map<std::string, ConverterPtr> cache;
  auto it = cache.find(name);
  if (it == cache.end()) {
    ConverterPtr conv = openConverter(name);
    if (!conv) return nullptr;
    it = cache.emplace(name, std::move(conv)).first;
  }
  return it->second.get();
}

bool startsWith(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::string_view(s).substr(0, prefix.size()) == prefix;
}

// Illegal or unmappable input decodes to U+FFFD whatever the converter's own substitute.
void toUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  const UChar replacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

const UChar* icu(UStringView text) {
  return reinterpret_cast<const UChar*>(text.data());
}

std::optional<std::string> encodeWith(const std::string& name, UStringView text, bool lossless) {
  UConverter* conv = cachedConverter(name);
  if (!conv) return std::nullopt;
  if (text.size() > size_t(std::numeric_limits<int32_t>::max())) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv,
                        lossless ? UCNV_FROM_U_CALLBACK_STOP : UCNV_FROM_U_CALLBACK_SUBSTITUTE,
                        nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;
  // Converted a block at a time into a text that grows as needed: sized for the worst case
  // at once, a large document's bytes would take (and touch) three times their room.
  ucnv_resetFromUnicode(conv);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  char block[1 << 16];
  const UChar* source = icu(text);
  const UChar* const sourceLimit = source + text.size();
  for (;;) {
    char* target = block;
    status = U_ZERO_ERROR;
    ucnv_fromUnicode(conv, &target, block + sizeof block, &source, sourceLimit, nullptr, true,
                     &status);
    out.append(block, size_t(target - block));
    if (status == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(status)) return std::nullopt;
    return out;
  }
}

// Strict UTF-8 through ICU's string conversion, which accepts and rejects exactly what the
// converter does and is faster on large texts. Markup is mostly ASCII, and an ASCII byte is
// always a character of its own that no sequence around it can change: long ASCII stretches
// are widened directly and ICU converts what lies between them (cutting the input there
// changes neither the characters nor whether it is well formed).
//
// The result is only reserved, never filled with zeros first: widened ASCII goes through a
// small buffer that is appended when full, and only ICU's parts are sized before it writes.
std::optional<UString> decodeUtf8Strictly(std::string_view bytes) {
  UString out;
  out.reserve(bytes.size());  // UTF-8 never takes more code units than bytes
  if (!appendUtf8Strictly(bytes, out)) return std::nullopt;
  return out;
}

}  // namespace

bool appendUtf8Strictly(std::string_view bytes, UString& out) {
  constexpr size_t kAsciiStretch = 16;  // shorter ASCII gaps stay in ICU's part
  constexpr size_t kChunk = 4096;       // code units widened before they are appended
  const size_t n = bytes.size();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  if (out.capacity() - out.size() < n) out.reserve(out.size() + n);
  char16_t chunk[kChunk];
  size_t i = 0;
  while (i < n) {
    // An ASCII stretch, widened chunk by chunk.
    for (;;) {
      const size_t limit = std::min(n, i + kChunk);
      size_t k = 0;
#if defined(__SSE2__)
      const __m128i zero = _mm_setzero_si128();
      while (i + 16 <= limit) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(units) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk + k), _mm_unpacklo_epi8(units, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(chunk + k + 8), _mm_unpackhi_epi8(units, zero));
        i += 16;
        k += 16;
      }
#endif
      while (i < limit && in[i] < 0x80) chunk[k++] = char16_t(in[i++]);
      out.append(chunk, k);
      if (i < limit || i == n) break;  // a non-ASCII byte, or the end
    }
    if (i == n) break;
    // What follows, up to the next long ASCII stretch, goes to ICU.
    size_t end = i;
    while (end < n) {
      if (in[end] >= 0x80) {
        ++end;
        continue;
      }
      size_t ascii = end;
      while (ascii < n && ascii - end < kAsciiStretch && in[ascii] < 0x80) ++ascii;
      if (ascii - end >= kAsciiStretch || ascii == n) break;
      end = ascii;
    }
    // At most one code unit per byte, and within the reserved room.
    const size_t o = out.size();
    out.resize(o + (end - i));
    UErrorCode status = U_ZERO_ERROR;
    int32_t written = 0;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data() + o), int32_t(end - i), &written,
                  reinterpret_cast<const char*>(in + i), int32_t(end - i), &status);
    if (U_FAILURE(status)) return false;
    out.resize(o + size_t(written));
    i = end;
  }
  return true;
}

size_t completeUtf8Prefix(std::string_view bytes) {
  const size_t n = bytes.size();
  // The last byte that is not a continuation byte, among the last four.
  size_t lead = n;
  for (size_t back = 1; back <= std::min<size_t>(4, n); ++back) {
    if ((static_cast<unsigned char>(bytes[n - back]) & 0xC0) != 0x80) {
      lead = n - back;
      break;
    }
  }
  if (lead == n) return n;  // no lead byte near the end: nothing to hold back
  const auto first = static_cast<unsigned char>(bytes[lead]);
  const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return n - lead < length ? lead : n;
}

Encoding Encoding::fromName(std::string_view ianaName) {
  std::string name(ianaName);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.erase(0, 1);
  if (name.empty()) return Encoding();
  for (const char* standard : {"IANA", "MIME"}) {
    UErrorCode status = U_ZERO_ERROR;
    const char* canonical = ucnv_getCanonicalName(name.c_str(), standard, &status);
    if (U_SUCCESS(status) && canonical && *canonical) return Encoding(canonical);
  }
  {
    UErrorCode status = U_ZERO_ERROR;
    const char* alias = ucnv_getAlias(name.c_str(), 0, &status);
    if (U_SUCCESS(status) && alias && *alias) return Encoding(alias);
  }
  // Algorithmic names with options ("UTF-16,version=1") are not in the alias table.
  if (ConverterPtr conv = openConverter(name)) {
    UErrorCode status = U_ZERO_ERROR;
    const char* opened = ucnv_getName(conv.get(), &status);
    if (U_SUCCESS(status) && opened && *opened) return Encoding(opened);
  }
  return Encoding();
}

Encoding Encoding::fromName(UStringView ianaName) {
  return fromName(toUtf8(ianaName));
}

Encoding Encoding::utf8() {
  return Encoding("UTF-8");
}
Encoding Encoding::utf16() {
  return Encoding("UTF-16");
}
Encoding Encoding::utf16LE() {
  return Encoding("UTF-16LE");
}
Encoding Encoding::utf16BE() {
  return Encoding("UTF-16BE");
}
Encoding Encoding::ascii() {
  return Encoding("US-ASCII");
}
Encoding Encoding::isoLatin1() {
  return Encoding("ISO-8859-1");
}
Encoding Encoding::windowsLatin1() {
  return fromName("windows-1252");
}
Encoding Encoding::macRoman() {
  return fromName("macintosh");
}
Encoding Encoding::shiftJIS() {
  return fromName("Shift_JIS");
}
Encoding Encoding::eucJP() {
  return fromName("EUC-JP");
}
Encoding Encoding::iso2022JP() {
  return fromName("ISO-2022-JP");
}

std::string Encoding::ianaName() const {
  if (!valid()) return std::string();
  for (const char* standard : {"MIME", "IANA"}) {
    UErrorCode status = U_ZERO_ERROR;
    const char* n = ucnv_getStandardName(name_.c_str(), standard, &status);
    if (U_SUCCESS(status) && n && *n) return n;
  }
  return name_;
}

bool Encoding::isUTF8() const {
  return name_ == "UTF-8";
}

bool Encoding::isUTF16() const {
  return startsWith(name_, "UTF-16") || startsWith(name_, "UTF16");
}

bool Encoding::isASCII() const {
  return name_ == "US-ASCII";
}

bool Encoding::isEUCJP() const {
  return startsWith(name_, "euc-jp") || startsWith(name_, "ibm-33722") ||
         startsWith(name_, "ibm-954");
}

bool Encoding::isShiftJISGroup() const {
  // ibm-943_P15A-2003 is Shift_JIS / windows-31j / cp932; ibm-943_P130-1999 and ibm-942 are
  // IBM's variants of the same code.
  return startsWith(name_, "ibm-943") || startsWith(name_, "ibm-942") ||
         startsWith(name_, "ibm-932") || startsWith(name_, "windows-932");
}

bool Encoding::isISO2022JPGroup() const {
  return startsWith(name_, "ISO_2022,locale=ja");
}

bool Encoding::keepsAscii() const {
  if (isUTF8() || isASCII()) return true;
  thread_local std::unordered_map<std::string, bool> answers;
  if (auto found = answers.find(name_); found != answers.end()) return found->second;
  bool keeps = false;
  if (UConverter* conv = cachedConverter(name_)) {
    // Converters that keep a state between bytes (escape sequences, shifts) are left out
    // whatever they make of the sample.
    switch (ucnv_getType(conv)) {
      case UCNV_SBCS:
      case UCNV_DBCS:
      case UCNV_MBCS:
      case UCNV_LATIN_1:
      case UCNV_US_ASCII:
      case UCNV_UTF8:
      case UCNV_CESU8: {
        std::string sample(128, '\0');
        for (size_t i = 0; i < sample.size(); ++i) sample[i] = char(i);
        const std::optional<UString> text = decode(sample, true);
        keeps = text && text->size() == sample.size() &&
                std::equal(text->begin(), text->end(), sample.begin(),
                           [](char16_t unit, char byte) { return unit == char16_t(byte); });
        break;
      }
      default:
        break;
    }
  }
  answers.emplace(name_, keeps);
  return keeps;
}

std::optional<UString> Encoding::decode(std::string_view bytes, bool strict) const {
  if (bytes.size() > size_t(std::numeric_limits<int32_t>::max())) return std::nullopt;
  if (strict && isUTF8()) return decodeUtf8Strictly(bytes);
  UConverter* conv = cachedConverter(name_);
  if (!conv) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  if (strict)
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  else
    ucnv_setToUCallBack(conv, toUnicodeReplacement, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;
  const auto length = int32_t(bytes.size());
  // Two units per byte covers every converter; the preflight below handles anything else.
  UString out(bytes.size() * 2 + 2, u'\0');
  int32_t capacity = out.size() > size_t(std::numeric_limits<int32_t>::max())
                         ? std::numeric_limits<int32_t>::max()
                         : int32_t(out.size());
  int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()), capacity, bytes.data(),
                            length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(size_t(n), u'\0');
    status = U_ZERO_ERROR;
    n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()), n, bytes.data(), length, &status);
  }
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(size_t(n));
  // The buffer was sized for the worst case; give most of it back when the text is large.
  if (out.capacity() > 4096 && out.capacity() / 2 > out.size()) out.shrink_to_fit();
  return out;
}

std::string Encoding::encodeLossy(UStringView text) const {
  return encodeWith(name_, text, false).value_or(std::string());
}

std::optional<std::string> Encoding::encodeLossless(UStringView text) const {
  return encodeWith(name_, text, true);
}

bool Encoding::canConvertWithoutLoss(UStringView text) const {
  return encodeLossless(text).has_value();
}

}  // namespace vmk
