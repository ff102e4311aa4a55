// The DTD converter over arbitrary bytes: every pass, then the dictionary file made from the
// result, read back the way the checker reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "converter/MyDocument.h"
#include "converter/MyDtd.h"
#include "dictionary/VmkDictionary.h"
#include "support/Plist.h"

using namespace vmk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  MyDtd dtd;
  dtd.setSourceData(bytes);
  dtd.ParseDTD();

  const PlistValue file = makeDictionaryFile(dtd.elementDictionary(),
                                             dtd.doctypeName().value_or("-//Fuzz//DTD Fuzz//EN"),
                                             dtd.systemIdentifier().value_or(""));
  // The writer refuses texts with NUL characters rather than cutting them short.
  if (plistHoldsNul(file)) return 0;
  // What rulesmith writes must be what the checker can read.
  std::optional<PlistValue> reread = parsePlist(plistToXml(file));
  if (!reread || !(*reread == file)) std::abort();
  std::unique_ptr<VmkDictionary> dictionary = VmkDictionary::fromPlist(std::move(*reread), u"Fuzz");
  if (!dictionary) std::abort();
  for (const VmkElementRecord& record : dictionary->elementRecords()) {
    (void)dictionary->endTagTypeForElement(record.name);
    (void)dictionary->requiredAttributesForElement(record.name);
    for (const UString& child : record.childElements)
      (void)dictionary->isChildElement(child, record.name);
  }
  (void)dictionary->linkableAttributeNameArray();
  return 0;
}
