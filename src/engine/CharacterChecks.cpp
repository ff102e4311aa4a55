// Character and encoding checks: the charset declarations, character references and the
// scanner's machine-dependent character test.
#include <algorithm>

#include "engine/CharacterReferences.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

uint32_t VmkHTMLChecker::isKishuIzon(uint32_t position, uint32_t maxPosition) const {
  if (!isJapaneseEncoding) return 0;
  UStringView buffer = sourceBuffer();
  buffer = buffer.substr(0, std::min<size_t>(maxPosition, buffer.size()));
  return uint32_t(machineDependentRunLength(buffer, position));
}

uint32_t VmkHTMLChecker::isHankakuKana(uint32_t position, uint32_t maxPosition) const {
  UStringView buffer = sourceBuffer();
  buffer = buffer.substr(0, std::min<size_t>(maxPosition, buffer.size()));
  return uint32_t(hankakuKanaRunLength(buffer, position));
}

void VmkHTMLChecker::checkMetaCharset() {
  // TODO(character checks): the meta charset element.
}

void VmkHTMLChecker::checkCharsetNameForMatch(const RegexMatch& /*match*/) {
  // TODO(character checks): the common charset name check.
}

void VmkHTMLChecker::checkCharRefFor(const VmkTagLocation& /*textRun*/) {
  // TODO(character checks): references of one text run.
}

void VmkHTMLChecker::checkCharRefForRange(Range /*range*/) {
  // TODO(character checks): references in a range.
}

}  // namespace vmk
