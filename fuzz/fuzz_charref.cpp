// The character reference scanner and the character-run tests over arbitrary UTF-16 text (the
// bytes taken as raw code units), at every position, checked against what they promise.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "FuzzSupport.h"
#include "engine/CharacterReferences.h"

using namespace vmk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const UString text =
      fuzz::rawUtf16Text(std::string_view(reinterpret_cast<const char*>(data), size));
  // Bounded views: a scanner that reads past the end of its view is caught by the sanitizer.
  const auto copy = std::make_unique<char16_t[]>(text.size());
  std::copy(text.begin(), text.end(), copy.get());
  const UStringView view(copy.get(), text.size());

  for (size_t position = 0; position <= view.size(); ++position) {
    const int32_t length = isCharRef(view, position);
    if (length > 0) {
      if (view[position] != u'&' || position + size_t(length) > view.size() ||
          view[position + length - 1] != u';')
        std::abort();
    } else if (length < 0) {
      if (position >= view.size() || view[position] != u'&' ||
          position + size_t(-int64_t(length)) > view.size())
        std::abort();
    }
    if (position + hankakuKanaRunLength(view, position) > view.size()) std::abort();
    if (position + machineDependentRunLength(view, position) > view.size()) std::abort();
  }
  return 0;
}
