#include "plugin/ElementHelp.h"

#include <initializer_list>
#include <utility>

namespace vmk {

const std::unordered_map<std::string, std::string>& gWDGHelpDictionary() {
  static const auto table = [] {
    const std::initializer_list<std::pair<const char*, std::initializer_list<const char*>>>
        folders = {
            {"head", {"link", "title", "base", "style", "meta", "head"}},
            {"special",
             {"script", "a", "img", "br", "font", "applet", "object", "param", "basefont", "bdo",
              "iframe", "map", "area", "q", "span", "sup", "sub"}},
            {"html", {"body"}},
            {"block",
             {"div", "p", "h1", "h2", "h3", "h4", "h5", "h6", "hr", "blockquote", "pre", "center",
              "noscript", "address"}},
            {"phrase",
             {"ins", "del", "kbd", "code", "samp", "var", "dfn", "cite", "em", "strong", "abbr",
              "acronym"}},
            {"tables",
             {"table", "caption", "col", "colgroup", "thead", "tbody", "tfoot", "tr", "td", "th"}},
            {"forms",
             {"form", "legend", "button", "input", "label", "select", "optgroup", "option",
              "textarea", "fieldset"}},
            {"lists", {"ol", "ul", "dl"}},
            {"fontstyle", {"b", "i", "tt", "big", "small", "s", "strike"}},
            {"frames", {"frame", "noframes"}},
        };
    std::unordered_map<std::string, std::string> pages;
    for (const auto& [folder, elements] : folders) {
      for (const char* element : elements) {
        pages.emplace(element, std::string(folder) + "/" + element + ".html");
      }
    }
    pages.emplace("!doctype", "structure.html#doc");
    return pages;
  }();
  return table;
}

}  // namespace vmk
