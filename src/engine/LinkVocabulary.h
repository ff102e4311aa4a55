// The link vocabulary shared by the structure checks, the link checker and the tag commands:
// the elements whose attributes may hold URLs, the attributes that hold URLs, and the
// elements whose content the source transformations leave untouched. Each table is built
// once, on first use, and kept until the process ends.
#pragma once

#include <initializer_list>
#include <unordered_set>
#include <vector>

#include "support/Text.h"

namespace vmk {

// A fixed list of names in a given order, with membership tests that compare exactly or
// ignoring case (in the sense of isEqualToString).
class VmkNameList {
 public:
  VmkNameList(std::initializer_list<UStringView> names);

  // The names in list order.
  const std::vector<UString>& names() const { return names_; }
  size_t size() const { return names_.size(); }

  // The name equals a member exactly.
  bool contains(UStringView name) const;
  // The name equals a member ignoring case.
  bool containsIgnoringCase(UStringView name) const;

 private:
  std::vector<UString> names_;
  std::unordered_set<UString> exact_;
  // ASCII lower case of the members, compared directly with ASCII names (the lists are
  // short, and a lookup must not allocate).
  std::vector<UString> asciiLower_;
};

// "a", "body", "layer", "bgsound", "embed", "marquee", "object", "ilayer", "form", "del", "ins",
// "input", "img", "applet", "area", "link", "base".
const VmkNameList& gLinkableTags();
// "background", "background-image", "cite", "data", "classid", "longdesc", "pluginspage",
// "profile", "action", "src", "usemap", "codebase", "href".
const VmkNameList& gUrlAttributes();
// "script", "xmp", "listing", "plaintext", "style", "server", "textarea".
const VmkNameList& gCdataTags();

// Builds the three tables now (start-up), so that later lookups never build them.
void initSpecialArrays();

}  // namespace vmk
