// UTF-16 text helpers over ICU.
#include "support/Text.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vmk {
namespace {

constexpr UChar32 kReplacementCharacter = 0xFFFD;

// ICU counts lengths in int32_t; texts longer than that are handled piecewise by callers that
// need it, here we simply clamp (no document comes close).
int32_t clampLength(size_t n) {
  return n > size_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                         : int32_t(n);
}

const UChar* icu(UStringView text) {
  return reinterpret_cast<const UChar*>(text.data());
}

// Runs an ICU case-mapping function that reports the needed size on overflow.
template <typename Fn>
UString mapCase(UStringView text, Fn fn) {
  if (text.empty()) return UString();
  UString out(text.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = fn(reinterpret_cast<UChar*>(out.data()), clampLength(out.size()), icu(text),
                 clampLength(text.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(size_t(n), u'\0');
    status = U_ZERO_ERROR;
    n = fn(reinterpret_cast<UChar*>(out.data()), clampLength(out.size()), icu(text),
           clampLength(text.size()), &status);
  }
  if (U_FAILURE(status)) return UString(text);
  out.resize(size_t(n));
  return out;
}

}  // namespace

UString toUtf16(std::string_view utf8) {
  if (utf8.empty()) return UString();
  // A UTF-8 text never needs more UTF-16 units than it has bytes.
  UString out(utf8.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = 0;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), clampLength(out.size()), &n,
                       utf8.data(), clampLength(utf8.size()), kReplacementCharacter, nullptr,
                       &status);
  if (U_FAILURE(status)) return UString();
  out.resize(size_t(n));
  return out;
}

UString widenBytes(std::string_view bytes) {
  UString wide(bytes.size(), u'\0');
  std::transform(bytes.begin(), bytes.end(), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return wide;
}

std::string toUtf8(UStringView utf16) {
  if (utf16.empty()) return std::string();
  // At most three bytes per UTF-16 unit (a surrogate pair gives four bytes for two units).
  std::string out(utf16.size() * 3, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = 0;
  u_strToUTF8WithSub(out.data(), clampLength(out.size()), &n, icu(utf16), clampLength(utf16.size()),
                     kReplacementCharacter, nullptr, &status);
  if (U_FAILURE(status)) return std::string();
  out.resize(size_t(n));
  return out;
}

UString uppercase(UStringView text) {
  return mapCase(text,
                 [](UChar* dest, int32_t cap, const UChar* src, int32_t len, UErrorCode* status) {
                   return u_strToUpper(dest, cap, src, len, "", status);
                 });
}

UString lowercase(UStringView text) {
  return mapCase(text,
                 [](UChar* dest, int32_t cap, const UChar* src, int32_t len, UErrorCode* status) {
                   return u_strToLower(dest, cap, src, len, "", status);
                 });
}

UString asciiUppercase(UStringView text) {
  UString out(text);
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return out;
}

UString asciiLowercase(UStringView text) {
  UString out(text);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return out;
}

namespace {

// caseInsensitiveCompare for the common case of ASCII text: absent as soon as a unit outside
// ASCII is met before the texts differ (full case folding may then map several units onto
// one, or other letters onto ASCII ones). No character folds to nothing, so a text that is a
// prefix of the other sorts first.
std::optional<int> asciiCaseInsensitiveCompare(UStringView a, UStringView b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    UChar16 x = a[i], y = b[i];
    if ((x | y) >= 0x80) return std::nullopt;
    if (x >= u'A' && x <= u'Z') x = UChar16(x + 32);
    if (y >= u'A' && y <= u'Z') y = UChar16(y + 32);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int caseInsensitiveCompare(UStringView a, UStringView b) {
  if (const std::optional<int> fast = asciiCaseInsensitiveCompare(a, b)) return *fast;
  UErrorCode status = U_ZERO_ERROR;
  int32_t r = u_strCaseCompare(icu(a), clampLength(a.size()), icu(b), clampLength(b.size()),
                               U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) return a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool isEqualToString(UStringView a, UStringView b, bool caseIgnore) {
  if (!caseIgnore) return a == b;
  return caseInsensitiveCompare(a, b) == 0;
}

bool containsStringObject(const std::vector<UString>& list, UStringView text, bool caseIgnore) {
  for (const auto& s : list)
    if (isEqualToString(s, text, caseIgnore)) return true;
  return false;
}

size_t findCodeUnit(UStringView text, UChar16 unit, size_t from) {
  size_t i = from;
  const size_t n = text.size();
  if (i >= n) return UStringView::npos;
  const UChar16* data = text.data();
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted));
    if (mask != 0) return i + size_t(__builtin_ctz(unsigned(mask))) / 2;
  }
#endif
  for (; i < n; ++i) {
    if (data[i] == unit) return i;
  }
  return UStringView::npos;
}

size_t findAnyOfThreeCodeUnits(UStringView text, UChar16 a, UChar16 b, UChar16 c, size_t from) {
  size_t i = from;
  const size_t n = text.size();
  if (i >= n) return UStringView::npos;
  const UChar16* data = text.data();
#if defined(__SSE2__)
  const __m128i wantedA = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wantedB = _mm_set1_epi16(static_cast<short>(b));
  const __m128i wantedC = _mm_set1_epi16(static_cast<short>(c));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i found =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, wantedA), _mm_cmpeq_epi16(units, wantedB)),
                     _mm_cmpeq_epi16(units, wantedC));
    const int mask = _mm_movemask_epi8(found);
    if (mask != 0) return i + size_t(__builtin_ctz(unsigned(mask))) / 2;
  }
#endif
  for (; i < n; ++i) {
    if (data[i] == a || data[i] == b || data[i] == c) return i;
  }
  return UStringView::npos;
}

UStringView substringWithRange(UStringView text, Range range) {
  if (!range.found() || range.location >= text.size()) return UStringView();
  size_t len = std::min<size_t>(range.length, text.size() - range.location);
  return text.substr(range.location, len);
}

UString toUString(int64_t value) {
  std::string s = std::to_string(value);
  return UString(s.begin(), s.end());
}

}  // namespace vmk
