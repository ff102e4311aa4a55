// Tests on tag names and code units shared by the scanner, the tree walk and the later checks
// and transformations.
#pragma once

#include <cstddef>

#include "support/Text.h"

namespace vmk {

// Line feed, carriage return, tab or space.
constexpr bool isWhiteSpace(UChar16 c) {
  return c == 10 || c == 13 || c == 9 || c == 32;
}

// Comment-like names: a processing instruction ("?...") or a comment ("!--" and more).
// False for an empty name. (Asked at the end of every tag the scanner reads.)
inline bool isCommentTag(UStringView name) {
  if (name.empty()) return false;
  if (name[0] == u'?') return true;
  return name.size() > 2 && name[0] == u'!' && name[1] == u'-' && name[2] == u'-';
}
// Declarations, comments and processing instructions: the name begins with "!" or "?".
bool isSpecialElement(UStringView name);
// The name begins with an ASCII letter, "/" or "!".
bool isNormalElement(UStringView name);
// True when the code units of `buffer` at `position`, as many as `text` is long, equal
// `text` (ignoring case when caseIgnore is set). False when the buffer ends first.
bool isEqualUnichars(UStringView buffer, size_t position, UStringView text, bool caseIgnore);
// Elements whose omitted end tag is not worth a warning: li, p, option, dd, dt (any case).
bool dontWarnEvenIfNoEndTag(UStringView name);

// The name of an end tag ("/" + element name)?
inline bool isEndTagName(UStringView name) {
  return !name.empty() && name[0] == u'/';
}
// A text run ("#DATA")?
inline bool isTextRunName(UStringView name) {
  return !name.empty() && name[0] == u'#';
}

// True when the text holds only ASCII code units.
bool isAsciiText(UStringView text);
// Upper / lower case of a tag name (Unicode case mapping, with a fast path for ASCII).
UString tagNameUppercase(UStringView name);
UString tagNameLowercase(UStringView name);

}  // namespace vmk
