// Character references and the character-run tests of the scanner.
#include "engine/CharacterReferences.h"

#include "engine/EntityNames.h"
#include "support/JisX0208.h"

namespace vmk {
namespace {

constexpr bool isAsciiDigit(UChar16 c) {
  return c >= u'0' && c <= u'9';
}
constexpr bool isAsciiLetter(UChar16 c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
constexpr bool isHexDigit(UChar16 c) {
  return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Scans the digits of a numeric reference from `start`; `offsetBase` is the position of "&".
int32_t scanNumber(UStringView text, size_t start, size_t ampersand, bool hex) {
  size_t i = start;
  while (i < text.size()) {
    UChar16 c = text[i];
    if (c == u';') return int32_t(i - ampersand + 1);
    if (!(hex ? isHexDigit(c) : isAsciiDigit(c))) return -int32_t(i - ampersand);
    ++i;
  }
  return -int32_t(i - ampersand);
}

}  // namespace

int32_t isCharRef(UStringView text, size_t position) {
  if (position >= text.size() || text[position] != u'&') return 0;
  size_t next = position + 1;
  if (next < text.size() && text[next] == u'#') {
    size_t marker = next + 1;
    if (marker < text.size() && (text[marker] == u'x' || text[marker] == u'X')) {
      return scanNumber(text, marker + 1, position, true);
    }
    return scanNumber(text, marker, position, false);
  }

  // Named reference: the longest entity name that the text after "&" begins with. Entity
  // names are ASCII letters and digits, at most kMaxEntityNameLength long.
  char name[kMaxEntityNameLength];
  size_t available = 0;
  while (available < kMaxEntityNameLength && next + available < text.size()) {
    UChar16 c = text[next + available];
    if (!isAsciiLetter(c) && !isAsciiDigit(c)) break;
    name[available++] = char(c);
  }
  size_t matched = 0;
  for (size_t len = available; len > 0; --len) {
    if (isHtmlEntityName(std::string_view(name, len))) {
      matched = len;
      break;
    }
  }
  if (matched == 0) return 0;
  size_t after = next + matched;
  if (after >= text.size()) return -int32_t(after - position);
  UChar16 c = text[after];
  if (c == u';') return int32_t(after - position + 1);
  if (isAsciiLetter(c)) return 0;
  return -int32_t(after - position);
}

size_t hankakuKanaRunLength(UStringView text, size_t position) {
  size_t i = position;
  while (i < text.size() && isHalfwidthKatakana(text[i])) ++i;
  return i > position ? i - position : 0;
}

size_t machineDependentRunLength(UStringView text, size_t position) {
  size_t i = position;
  while (i < text.size() && text[i] > 127 && !isShiftJISX0208Unit(text[i])) ++i;
  return i > position ? i - position : 0;
}

}  // namespace vmk
