#include "plugin/ElementHelp.h"

#include "support/Text.h"

namespace vmk {

const std::unordered_map<std::string, std::string>& gWDGHelpDictionary() {
  static const auto table = [] {
    struct Folder {
      const char* name;
      const char* elements;  // separated by spaces
    };
    static constexpr Folder kFolders[] = {
        {"head", "link title base style meta head"},
        {"special",
         "script a img br font applet object param basefont bdo iframe map area q span sup sub"},
        {"html", "body"},
        {"block", "div p h1 h2 h3 h4 h5 h6 hr blockquote pre center noscript address"},
        {"phrase", "ins del kbd code samp var dfn cite em strong abbr acronym"},
        {"tables", "table caption col colgroup thead tbody tfoot tr td th"},
        {"forms", "form legend button input label select optgroup option textarea fieldset"},
        {"lists", "ol ul dl"},
        {"fontstyle", "b i tt big small s strike"},
        {"frames", "frame noframes"},
    };
    std::unordered_map<std::string, std::string> pages;
    for (const Folder& folder : kFolders) {
      std::string_view list = folder.elements;
      while (!list.empty()) {
        const size_t space = list.find(' ');
        const std::string element(list.substr(0, space));
        pages.emplace(element, std::string(folder.name) + "/" + element + ".html");
        list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
      }
    }
    pages.emplace("!doctype", "structure.html#doc");
    return pages;
  }();
  return table;
}

std::string elementHelpAddress(std::u16string_view element) {
  if (!element.empty() && element.front() == u'/') element.remove_prefix(1);
  const auto& pages = gWDGHelpDictionary();
  const auto page = pages.find(toUtf8(lowercase(element)));
  return std::string(kElementReferenceBaseAddress) +
         (page != pages.end() ? page->second : std::string(kElementIndexPage));
}

}  // namespace vmk
