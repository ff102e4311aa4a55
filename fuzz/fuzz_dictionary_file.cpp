// Dictionary files of arbitrary bytes: read into the model and questioned, then installed as
// the only dictionary for a validation run over a fixed document.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "support/Plist.h"

using namespace vmk;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::setUpProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  if (std::optional<PlistValue> tree = parsePlist(bytes)) {
    if (auto dictionary = VmkDictionary::fromPlist(std::move(*tree), u"Fuzz")) {
      (void)dictionary->doctypeTag();
      (void)dictionary->linkableAttributeNameArray();
      for (const VmkElementRecord& record : dictionary->elementRecords()) {
        (void)dictionary->isCDATAElement(record.name);
        (void)dictionary->isChildElement(u"P", record.name);
        (void)dictionary->canContainAttribute(u"id", record.name);
        (void)dictionary->requiredAttributesForElement(record.name);
      }
    }
  }

  fuzz::useDictionaryBytes(bytes);
  static const std::unique_ptr<HeadlessDocument> document =
      HeadlessDocument::fromBytes(fuzz::sampleDocument(), "sample.html");
  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  checker->validateHTMLForDocument(*document, false, false);
  return 0;
}
