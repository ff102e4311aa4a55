// Attribute value checks over arbitrary text, against the shipped dictionaries.
//
// Input: byte 0 picks the dictionary, byte 1 the element and byte 2 the attribute entry of that
// element (so that most inputs reach a declared type); byte 3 holds flags; the rest is the
// value. Flags: 1 the attribute is written without a value; 2 element and attribute names are
// taken from the text instead ("element NUL attribute NUL value"); 4 names are upper-cased;
// 8 the text is raw UTF-16 code units rather than UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "dictionary/AttributeValueContext.h"
#include "dictionary/VmkDictionary.h"
#include "engine/CharacterReferences.h"
#include "engine/CharsetNames.h"

using namespace vmk;

namespace {

class FuzzContext final : public VmkAttributeValueContext {
 public:
  bool isThisIDDefined(UStringView value) const override {
    return value == u"top" || value == u"main" || value == u"a1";
  }
  bool isKnownCharsetName(UStringView lowerName) const override {
    return vmk::isKnownCharsetName(lowerName);
  }
  int32_t isCharRef(UStringView text, size_t position) const override {
    return vmk::isCharRef(text, position);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::setUpProcess();
  for (size_t i = 0; i < fuzz::shippedDictionaryNames().size(); ++i) fuzz::loadedDictionary(i);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const VmkDictionary& dictionary = fuzz::loadedDictionary(data[0]);
  const uint8_t flags = data[3];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 4, size - 4);
  UString text = (flags & 8) ? fuzz::rawUtf16Text(bytes) : fuzz::utf8Text(bytes);

  UString element, attribute;
  if (flags & 2) {
    const size_t first = text.find(u'\0');
    const size_t second = first == UString::npos ? UString::npos : text.find(u'\0', first + 1);
    if (second == UString::npos) return 0;
    element = text.substr(0, first);
    attribute = text.substr(first + 1, second - first - 1);
    text.erase(0, second + 1);
  } else {
    const auto& records = dictionary.elementRecords();
    if (records.empty()) return 0;
    const VmkElementRecord& record = records[data[1] % records.size()];
    element = record.name;
    if (record.attributes.empty()) return 0;
    attribute = record.attributes[data[2] % record.attributes.size()].name;
  }
  if (flags & 4) {
    element = uppercase(element);
    attribute = uppercase(attribute);
  }

  const FuzzContext context;
  std::optional<UString> value;
  if (!(flags & 1)) value = std::move(text);
  std::optional<UString> rightValue = u"stale";
  const std::optional<std::string_view> problem =
      dictionary.checkAttributeName(attribute, value, element, &rightValue, context);
  if (problem && problem->empty()) std::abort();
  (void)dictionary.checkAttributeName(attribute, value, element, nullptr, context);
  return 0;
}
