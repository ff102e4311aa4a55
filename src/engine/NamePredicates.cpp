#include "engine/NamePredicates.h"

namespace vmk {

bool isSpecialElement(UStringView name) {
  return !name.empty() && (name[0] == u'!' || name[0] == u'?');
}

bool isNormalElement(UStringView name) {
  if (name.empty()) return false;
  UChar16 c = name[0];
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'/' || c == u'!';
}

namespace {

constexpr UChar16 asciiLower(UChar16 c) {
  return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

}  // namespace

bool isEqualUnichars(UStringView buffer, size_t position, UStringView text, bool caseIgnore) {
  if (position > buffer.size() || buffer.size() - position < text.size()) return false;
  UStringView here = buffer.substr(position, text.size());
  if (!caseIgnore) return here == text;
  if (isAsciiText(here) && isAsciiText(text)) {
    for (size_t i = 0; i < text.size(); ++i)
      if (asciiLower(here[i]) != asciiLower(text[i])) return false;
    return true;
  }
  return isEqualToString(here, text, true);
}

bool dontWarnEvenIfNoEndTag(UStringView name) {
  static const UStringView kNames[] = {u"li", u"p", u"option", u"dd", u"dt"};
  for (UStringView n : kNames)
    if (isEqualToString(name, n, true)) return true;
  return false;
}

bool isAsciiText(UStringView text) {
  for (UChar16 c : text)
    if (c > 0x7F) return false;
  return true;
}

UString tagNameUppercase(UStringView name) {
  return isAsciiText(name) ? asciiUppercase(name) : uppercase(name);
}

UString tagNameLowercase(UStringView name) {
  return isAsciiText(name) ? asciiLowercase(name) : lowercase(name);
}

}  // namespace vmk
