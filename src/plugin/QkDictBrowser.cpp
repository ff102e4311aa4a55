#include "plugin/QkDictBrowser.h"

#include <algorithm>
#include <filesystem>

#include "errors/MessageTables.h"
#include "support/Log.h"

namespace vmk {
namespace {

void sortIgnoringCase(std::vector<UString>& names) {
  std::stable_sort(names.begin(), names.end(), [](const UString& a, const UString& b) {
    return caseInsensitiveCompare(a, b) < 0;
  });
}

std::vector<UString> stringsOf(const PlistValue* value) {
  std::vector<UString> out;
  if (!value || !value->asArray()) return out;
  for (const PlistValue& item : *value->asArray()) {
    if (const std::string* text = item.asString()) out.push_back(toUtf16(*text));
  }
  return out;
}

const PlistDict* elementTable(const std::optional<PlistDict>& dictionary) {
  if (!dictionary) return nullptr;
  const PlistValue* table = dictionary->find("DtdDictionary");
  return table ? table->asDict() : nullptr;
}

}  // namespace

QkDictBrowser& QkDictBrowser::sharedDictBrowser() {
  static QkDictBrowser* browser = new QkDictBrowser();
  return *browser;
}

bool QkDictBrowser::openHTMLDictionaryWithPath(const std::string& path) {
  ++openCount_;
  return setHtmlDictionaryFromPath(path);
}

bool QkDictBrowser::setHtmlDictionaryFromPath(const std::string& path) {
  htmlDictionary_.reset();
  currentElement_.clear();
  title_ = toUtf16(std::filesystem::path(path).stem().string());
  std::optional<PlistValue> tree = readPlistFile(path);
  if (!tree || !tree->asDict()) {
    logPluginProblem("Failed to load HTML Dictionaty from path: " + path);
    return false;
  }
  htmlDictionary_ = std::move(*tree->asDict());
  const std::vector<UString> names = elementNames();
  if (!names.empty()) setCurrentElement(names.front());
  return true;
}

UString QkDictBrowser::doctypeName() const {
  if (!htmlDictionary_) return UString();
  const PlistValue* value = htmlDictionary_->find("DoctypeName");
  return value && value->asString() ? toUtf16(*value->asString()) : UString();
}

std::optional<UString> QkDictBrowser::systemIdentifier() const {
  if (!htmlDictionary_) return std::nullopt;
  const PlistValue* value = htmlDictionary_->find("SystemIdentifier");
  if (!value || !value->asString()) return std::nullopt;
  return toUtf16(*value->asString());
}

std::vector<UString> QkDictBrowser::elementNames() const {
  std::vector<UString> names;
  if (const PlistDict* table = elementTable(htmlDictionary_)) {
    names.reserve(table->size());
    for (const auto& [name, record] : *table) names.push_back(toUtf16(name));
  }
  sortIgnoringCase(names);
  return names;
}

std::optional<size_t> QkDictBrowser::indexOfElement(UStringView name) const {
  const std::vector<UString> names = elementNames();
  auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<size_t>(found - names.begin());
}

void QkDictBrowser::setCurrentElement(UStringView name) {
  currentElement_ = UString(name);
}

bool QkDictBrowser::selectElement(UStringView name) {
  if (!indexOfElement(name)) return false;
  setCurrentElement(name);
  return true;
}

const PlistDict* QkDictBrowser::currentRecord() const {
  const PlistDict* table = elementTable(htmlDictionary_);
  if (!table) return nullptr;
  const PlistValue* record = table->find(toUtf8(currentElement_));
  return record ? record->asDict() : nullptr;
}

UString QkDictBrowser::elementBoxTitle() const {
  return u"<" + currentElement_ + u">";
}

UString QkDictBrowser::startAndEndTagText() const {
  std::string type;
  if (const PlistDict* record = currentRecord()) {
    const PlistValue* value = record->find("TypeString");
    if (value && value->asString()) type = *value->asString();
  }
  const char* sentence = "Start tag and end tag are both required.";
  if (type == "O O") sentence = "Start tag and end tag are both omissible.";
  if (type == "O -") sentence = "Start tag is both omissible.";
  if (type == "- O") sentence = "End tag is both omissible.";
  return localizedString(kVelumarkXTable, sentence);
}

std::vector<UString> QkDictBrowser::sortedStrings(std::string_view key) const {
  const PlistDict* record = currentRecord();
  std::vector<UString> names = stringsOf(record ? record->find(key) : nullptr);
  sortIgnoringCase(names);
  return names;
}

std::vector<QkAttributeRow> QkDictBrowser::attributeRows() const {
  std::vector<QkAttributeRow> rows;
  for (const UString& entry : sortedStrings("Attributes")) {
    rows.push_back(attributeRowForEntry(entry));
  }
  return rows;
}

std::vector<UString> QkDictBrowser::childElements() const {
  return sortedStrings("ChildElements");
}

std::vector<UString> QkDictBrowser::parentElements() const {
  return sortedStrings("ParentElements");
}

QkAttributeRow QkDictBrowser::attributeRowForEntry(UStringView entry) {
  QkAttributeRow row;
  row.entry = UString(entry);
  const size_t tab = entry.find(u'\t');
  row.name = UString(entry.substr(0, tab));
  if (tab != UStringView::npos) {
    const UStringView rest = entry.substr(tab + 1);
    const size_t next = rest.find(u'\t');
    row.type = UString(rest.substr(0, next));
    if (next != UStringView::npos) row.defaultValue = UString(rest.substr(next + 1));
  }
  row.required = uppercase(entry).find(u"#REQUIRED") != UString::npos;
  return row;
}

}  // namespace vmk
