// Element structure checks: text and empty end tags inside elements, and the document-level
// order of html, head, body, table and base.
#include "engine/VmkHTMLChecker.h"

namespace vmk {

void VmkHTMLChecker::checkElementReleations() {
  // TODO(structure checks): the relation pass.
}

void VmkHTMLChecker::checkSpecialTagsOrder() {
  if (tagLocations_.empty()) return;
  checkXmlDoctypeHtmlTagOrder();
  // TODO(structure checks): the order pass.
}

}  // namespace vmk
