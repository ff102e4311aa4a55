// What the text around a place is, for hover and completion: the tag it lies in, the name
// being typed there. Reads at most a few kilobytes back from the place.
#pragma once

#include <cstdint>
#include <optional>

#include "support/Text.h"

namespace vmk::lsp {

struct TagAtPlace {
  uint32_t tagStart = 0;  // the "<"
  bool endTag = false;    // "</name"
  Range name;             // the element name as written (may be empty: "<" alone)
  bool closed = false;    // a ">" ends the tag before the end of the text
};

// The tag whose "<" is at or before `offset` with no ">" in between (the ">" itself still
// counts as in the tag), or absent: text, comments, declarations.
std::optional<TagAtPlace> tagAt(UStringView text, uint32_t offset);

// What is being typed at `offset`.
struct CompletionPlace {
  enum class Kind { None, ElementName, AttributeName };
  Kind kind = Kind::None;
  Range word;           // the part of the name before the offset (and after it, to its end)
  UString elementName;  // for attribute names: the element of the tag
  bool endTag = false;
};
CompletionPlace completionPlaceAt(UStringView text, uint32_t offset);

// Characters of element and attribute names.
bool isNameCharacter(char16_t c);

}  // namespace vmk::lsp
