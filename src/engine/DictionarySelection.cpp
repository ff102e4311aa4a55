// Dictionary selection from the DOCTYPE and the prologue checks.
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {

void VmkHTMLChecker::determinHTMLDictionary() {
  // TODO(dictionary selection): DOCTYPE checks and the choice by public identifier. Until
  // then the default dictionary of the settings is used.
  std::string menuName = sharedVmkUserDefaults().stringForKey("Vmk_DefaultHtmlDictionary");
  htmlDictionary_ = VmkDictionary::initWithMenuName(toUtf16(menuName));
  isXHTML = htmlDictionary_ && htmlDictionary_->isXML();
  if (isXHTML) checkXMLValidity();
  checkMetaCharset();
}

void VmkHTMLChecker::checkXMLValidity() {
  // TODO(dictionary selection): XML declaration checks.
}

void VmkHTMLChecker::checkXmlDoctypeHtmlTagOrder() {
  // TODO(dictionary selection): order of the XML declaration, DOCTYPE and html tag.
}

std::optional<UString> VmkHTMLChecker::htmlDoctypeForDocument(HostDocument& document) {
  ensureCurrentRunFor(document);
  if (!htmlDictionary_) return std::nullopt;
  return htmlDictionary_->displayName();
}

}  // namespace vmk
