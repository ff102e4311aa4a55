#include "transform/TransformItems.h"

#include "engine/LinkVocabulary.h"

namespace vmk {

size_t itemsWithRanges(const VmkTagLocationList& list) {
  if (!list.empty() && isOpenEndedTag(*list.back())) return list.size() - 1;
  return list.size();
}

bool isRawTextElementName(UStringView name) {
  return gCdataTags().containsIgnoringCase(name);
}

bool isWholeContentBetween(const VmkTagLocation& prev, const VmkTagLocation& next) {
  const UString& nextName = next.elementName();
  if (nextName.empty()) return false;
  const UStringView a = prev.elementName();
  const UStringView b = UStringView(nextName).substr(1);
  // Names are ASCII nearly always; only others need the full case folding.
  bool ascii = true;
  for (UChar16 c : a) ascii = ascii && c < 0x80;
  for (UChar16 c : b) ascii = ascii && c < 0x80;
  if (!ascii) return isEqualToString(a, b, true);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const UChar16 x = a[i] >= u'A' && a[i] <= u'Z' ? UChar16(a[i] + 32) : a[i];
    const UChar16 y = b[i] >= u'A' && b[i] <= u'Z' ? UChar16(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

bool isNamedIgnoringCase(UStringView name, UStringView lowerName) {
  if (name.size() != lowerName.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const UChar16 c = name[i] >= u'A' && name[i] <= u'Z' ? UChar16(name[i] + 32) : name[i];
    if (c != lowerName[i]) return false;
  }
  return true;
}

void lowercaseNameInto(UStringView name, UString& out) {
  out.clear();
  for (UChar16 c : name) out.push_back(c >= u'A' && c <= u'Z' ? UChar16(c + 32) : c);
}

}  // namespace vmk
