#include "host/lsp/LspFeatures.h"

#include <algorithm>

#include "dictionary/VmkDictionary.h"
#include "plugin/QkDictBrowser.h"

namespace vmk::lsp {
namespace {

// CompletionItemKind values.
constexpr int kKindField = 5;
constexpr int kKindProperty = 10;

std::string joined(const std::vector<UString>& names) {
  std::string out;
  for (const UString& name : names) {
    if (!out.empty()) out += ", ";
    out += toUtf8(name);
  }
  return out.empty() ? std::string("(none)") : out;
}

UString asciiCase(UStringView text, bool upper) {
  UString out(text);
  for (char16_t& c : out) {
    if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (!upper && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

bool startsWithIgnoringCase(UStringView text, UStringView prefix) {
  if (prefix.size() > text.size()) return false;
  return asciiCase(text.substr(0, prefix.size()), false) == asciiCase(prefix, false);
}

}  // namespace

std::optional<std::string> elementHoverText(QkDictBrowser& browser, UStringView dictionaryName,
                                            UStringView elementName, bool markdown) {
  if (elementName.empty()) return std::nullopt;
  if (!browser.selectElement(elementName) && !browser.selectElement(asciiCase(elementName, true)) &&
      !browser.selectElement(asciiCase(elementName, false))) {
    return std::nullopt;
  }
  const std::string bold = markdown ? "**" : "";
  const std::string code = markdown ? "`" : "";
  std::string out = code + toUtf8(browser.elementBoxTitle()) + code + "  " +
                    toUtf8(dictionaryName) + "\n\n" + toUtf8(browser.startAndEndTagText()) + "\n\n";
  const std::vector<QkAttributeRow> rows = browser.attributeRows();
  out += bold + "Attributes" + bold + " (" + std::to_string(rows.size()) + ", * required):\n";
  for (const QkAttributeRow& row : rows) {
    out += markdown ? "- " : "  ";
    out += (row.required ? "* " : "") + code + toUtf8(row.name) + code;
    if (!row.type.empty()) out += " " + code + toUtf8(row.type) + code;
    if (!row.defaultValue.empty()) out += " " + toUtf8(row.defaultValue);
    out += "\n";
  }
  if (rows.empty()) out += markdown ? "- (none)\n" : "  (none)\n";
  out += "\n" + bold + "Children:" + bold + " " + joined(browser.childElements()) + "\n\n";
  out += bold + "Parents:" + bold + " " + joined(browser.parentElements()) + "\n";
  return out;
}

json completionItems(const VmkDictionary& dictionary, UStringView text,
                     const CompletionPlace& place) {
  json items = json::array();
  if (place.kind == CompletionPlace::Kind::None) return items;
  const uint32_t typedEnd = std::min<uint32_t>(place.word.max(), text.size());
  UStringView word = text.substr(place.word.location, typedEnd - place.word.location);
  // Only the part before the caret filters; the editor replaces the whole word.
  const bool typedUpper =
      std::any_of(word.begin(), word.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
  const bool upper = !dictionary.isXML() && typedUpper;

  auto add = [&](const UString& name, int kind, const std::string& detail,
                 const std::string& sort) {
    json item{{"label", toUtf8(asciiCase(name, upper))}, {"kind", kind}, {"sortText", sort}};
    if (!detail.empty()) item["detail"] = detail;
    items.push_back(std::move(item));
  };

  if (place.kind == CompletionPlace::Kind::ElementName) {
    for (const VmkElementRecord& record : dictionary.elementRecords()) {
      if (record.name.empty() || record.name[0] == u'#' || record.name[0] == u'!') continue;
      if (place.endTag && record.endTagType == kEndTagEmpty) continue;
      if (!startsWithIgnoringCase(record.name, word)) continue;
      add(record.name, kKindProperty, "", "1" + toUtf8(asciiCase(record.name, false)));
    }
    return items;
  }

  const VmkElementRecord* record = dictionary.foldedElementRecord(place.elementName);
  if (!record) return items;
  std::vector<UString> seen;
  for (const VmkAttributeEntry& entry : record->attributes) {
    if (!entry.hasName() || entry.name.empty()) continue;
    if (std::find(seen.begin(), seen.end(), entry.lowerName) != seen.end()) continue;
    seen.push_back(entry.lowerName);
    if (!startsWithIgnoringCase(entry.name, word)) continue;
    const bool required = entry.defaultValue == u"#REQUIRED";
    std::string detail = toUtf8(entry.type);
    if (!entry.defaultValue.empty())
      detail += (detail.empty() ? "" : " ") + toUtf8(entry.defaultValue);
    add(entry.lowerName, kKindField, detail,
        std::string(required ? "0" : "1") + toUtf8(entry.lowerName));
  }
  std::stable_sort(items.begin(), items.end(), [](const json& a, const json& b) {
    return a["sortText"].get_ref<const std::string&>() <
           b["sortText"].get_ref<const std::string&>();
  });
  return items;
}

}  // namespace vmk::lsp
