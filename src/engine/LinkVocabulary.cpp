#include "engine/LinkVocabulary.h"

#include "engine/NamePredicates.h"

namespace vmk {

VmkNameList::VmkNameList(std::initializer_list<UStringView> names) {
  names_.reserve(names.size());
  for (UStringView name : names) {
    names_.emplace_back(name);
    exact_.emplace(name);
    asciiLower_.push_back(asciiLowercase(name));
  }
}

bool VmkNameList::contains(UStringView name) const {
  return exact_.count(UString(name)) != 0;
}

bool VmkNameList::containsIgnoringCase(UStringView name) const {
  // Every member is ASCII, so an ASCII name matches exactly when its ASCII lower case is a
  // member. Any other name goes through full case folding, which can map non-ASCII letters
  // onto ASCII ones.
  if (!isAsciiText(name)) return containsStringObject(names_, name, true);
  for (const UString& member : asciiLower_) {
    if (member.size() != name.size()) continue;
    size_t i = 0;
    for (; i < name.size(); ++i) {
      UChar16 c = name[i];
      if (c >= u'A' && c <= u'Z') c = UChar16(c + 32);
      if (c != member[i]) break;
    }
    if (i == name.size()) return true;
  }
  return false;
}

const VmkNameList& gLinkableTags() {
  static const VmkNameList list{u"a",      u"body",   u"layer", u"bgsound", u"embed", u"marquee",
                                u"object", u"ilayer", u"form",  u"del",     u"ins",   u"input",
                                u"img",    u"applet", u"area",  u"link",    u"base"};
  return list;
}

const VmkNameList& gUrlAttributes() {
  static const VmkNameList list{
      u"background", u"background-image", u"cite",    u"data",   u"classid",
      u"longdesc",   u"pluginspage",      u"profile", u"action", u"src",
      u"usemap",     u"codebase",         u"href"};
  return list;
}

const VmkNameList& gCdataTags() {
  static const VmkNameList list{u"script", u"xmp",    u"listing", u"plaintext",
                                u"style",  u"server", u"textarea"};
  return list;
}

void initSpecialArrays() {
  gLinkableTags();
  gUrlAttributes();
  gCdataTags();
}

}  // namespace vmk
