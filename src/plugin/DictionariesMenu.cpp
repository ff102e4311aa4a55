#include "plugin/DictionariesMenu.h"

#include "errors/MessageTables.h"

namespace vmk {

std::vector<DictionariesMenuItem> dictionariesMenuItems(const std::vector<UString>& names) {
  std::vector<DictionariesMenuItem> items;
  items.reserve(names.size() + 2);
  for (const UString& name : names) items.push_back({DictionariesMenuItem::Kind::Dictionary, name});
  items.push_back({DictionariesMenuItem::Kind::Separator, UString()});
  constexpr std::string_view kShowFolder = "Show in Finder";
  items.push_back(
      {DictionariesMenuItem::Kind::ShowFolder, hasLocalizedString(kVelumarkXTable, kShowFolder)
                                                   ? localizedString(kVelumarkXTable, kShowFolder)
                                                   : UString()});
  return items;
}

}  // namespace vmk
