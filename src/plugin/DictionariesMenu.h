// The dictionaries menu as the plug-in builds it: one item per installed dictionary (opening
// it in the dictionary browser), a separator, and the item that shows the dictionaries folder.
#pragma once

#include <vector>

#include "support/Text.h"

namespace vmk {

struct DictionariesMenuItem {
  enum class Kind {
    Dictionary,  // openHTMLDictionary: with the title as the dictionary's name
    Separator,
    ShowFolder,  // showDictionarieFolder:
  };
  Kind kind = Kind::Dictionary;
  UString title;
};

// The items for the names in list order. The folder item's title is the localized text of
// "Show in Finder", empty when the table has none.
std::vector<DictionariesMenuItem> dictionariesMenuItems(const std::vector<UString>& names);

}  // namespace vmk
