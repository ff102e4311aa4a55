#include "engine/AttributeEditorNames.h"

#include <algorithm>

namespace vmk {

const std::vector<UString>& gEditorAttributeArray() {
  static const std::vector<UString> names = {
      u"showgridx",       u"showgridy", u"xpos",  u"ypos",  u"csheight", u"cntrlrow",
      u"naturalsizeflag", u"cool",      u"gridx", u"gridy", u"usegridx", u"usegridy"};
  return names;
}

bool isEditorAttributeName(UStringView lowerName) {
  const std::vector<UString>& names = gEditorAttributeArray();
  return std::find(names.begin(), names.end(), lowerName) != names.end();
}

}  // namespace vmk
