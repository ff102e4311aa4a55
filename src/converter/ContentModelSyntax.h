// The content of an element declaration read as a content model, for the dictionary's
// "ContentModel", "Inclusions" and "Exclusions".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vmk {

// Reads the content of an element declaration as it stands once entities are replaced (the
// text after the tag omission flags, up to the ">"): the declared content or model group, then
// the exceptions. Names are upper-cased unless xml. Absent, with *problem set, when the text
// is not a content model.
struct ParsedContentModel {
  std::string model;
  std::vector<std::string> inclusions;
  std::vector<std::string> exclusions;
};
std::optional<ParsedContentModel> parseContentModel(std::string_view text, bool xml,
                                                    std::string* problem);

}  // namespace vmk
