#include "errors/VmkErrorLocation.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <list>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "errors/ErrorCatalogue.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {

namespace {

// Offsets just after each line feed of one document text: the line index of a location is
// the number of entries not above it. Built once per text version (told apart by the host's
// digest of the text, which the host keeps per version) and shared by all its records.
struct LineStartTable {
  const HostDocument* document = nullptr;
  std::string digest;
  size_t length = 0;
  std::vector<uint32_t> lineStarts;
};

// A few recently used documents; the least recently used table is dropped first.
constexpr size_t kMaxCachedTables = 8;
std::list<LineStartTable>& lineTables() {
  static std::list<LineStartTable> tables;
  return tables;
}

const LineStartTable& lineTableFor(const HostDocument& document, const UString& text) {
  auto& tables = lineTables();
  std::string digest = document.md5DigestString();
  for (auto it = tables.begin(); it != tables.end(); ++it) {
    if (it->document != &document) continue;
    if (it->length == text.size() && it->digest == digest) {
      tables.splice(tables.begin(), tables, it);
      return tables.front();
    }
    tables.erase(it);
    break;
  }
  LineStartTable table;
  table.document = &document;
  table.digest = std::move(digest);
  table.length = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n') table.lineStarts.push_back(static_cast<uint32_t>(i + 1));
  }
  tables.push_front(std::move(table));
  if (tables.size() > kMaxCachedTables) tables.pop_back();
  return tables.front();
}

int compareValues(auto a, auto b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

const std::string& internedErrorCode(std::string_view code) {
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  // Each thread remembers the spellings it has met, so that the shared table is locked only on
  // a thread's first use of a code.
  thread_local std::unordered_map<std::string_view, const std::string*, Hash> known;
  if (auto found = known.find(code); found != known.end()) return *found->second;
  static std::mutex mutex;
  static auto* codes = new std::unordered_set<std::string, Hash, std::equal_to<>>();
  const std::string* stored;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = codes->find(code);
    if (found == codes->end()) found = codes->emplace(code).first;
    stored = &*found;
  }
  known.emplace(*stored, stored);
  return *stored;
}

VmkErrorLocation::VmkErrorLocation(std::string_view errorCode, Range errorRange,
                                   std::optional<std::vector<UString>> subStrings,
                                   ErrorParent parent)
    : VmkErrorLocation(&internedErrorCode(errorCode), errorRange, std::move(subStrings),
                       std::move(parent)) {}

VmkErrorLocation::VmkErrorLocation(const std::string* internedCode, Range errorRange,
                                   std::optional<std::vector<UString>> subStrings,
                                   ErrorParent parent)
    : errorCode_(internedCode),
      errorRange_(errorRange),
      subStrings_(std::move(subStrings)),
      parent_(std::move(parent)) {}

std::shared_ptr<VmkErrorLocation> VmkErrorLocation::create(
    std::string_view errorCode, Range errorRange, std::optional<std::vector<UString>> subStrings,
    ErrorParent parent) {
  return std::make_shared<VmkErrorLocation>(errorCode, errorRange, std::move(subStrings),
                                            std::move(parent));
}

UString VmkErrorLocation::subStringAtIndex(size_t index) const {
  if (!subStrings_ || index >= subStrings_->size()) return UString();
  return (*subStrings_)[index];
}

HostDocument* VmkErrorLocation::parentDocument() const {
  const auto* doc = std::get_if<HostDocument*>(&parent_);
  return doc ? *doc : nullptr;
}

UString VmkErrorLocation::errorNumber() const {
  return errorNumberForThisError(*errorCode_);
}
int VmkErrorLocation::errorLevel() const {
  return errorLevelForThisError(*errorCode_);
}
int VmkErrorLocation::errorFix() const {
  return errorFixForThisError(*errorCode_);
}

UString VmkErrorLocation::errorTitle() const {
  return fillErrorMessagePlaceholders(localizedString(kMsgTitleTable, *errorCode_), subStrings_);
}

UString VmkErrorLocation::errorDescription() const {
  return fillErrorMessagePlaceholders(localizedString(kMsgDescriptionTable, *errorCode_),
                                      subStrings_);
}

int32_t VmkErrorLocation::errorParagraphIndex() {
  if (errorParaIndex_ != -1) return errorParaIndex_;
  HostDocument* document = parentDocument();
  if (!document) return -1;
  errorParaIndex_ = lineIndexForLocation(*document, errorRange_.location);
  return errorParaIndex_;
}

void VmkErrorLocation::resetErrorParagraphIndex() {
  HostDocument* document = parentDocument();
  if (!document) return;
  errorParaIndex_ = lineIndexForLocation(*document, errorRange_.location);
}

UString fillErrorMessagePlaceholders(UStringView templ,
                                     const std::optional<std::vector<UString>>& subStrings) {
  UString text(templ);
  if (!subStrings || templ.find(u'%') == UStringView::npos) return text;
  for (size_t i = 0; i < subStrings->size(); ++i) {
    UString placeholder(1, u'%');
    placeholder += toUString(static_cast<int64_t>(i + 1));
    const UString& value = (*subStrings)[i];
    UString out;
    size_t from = 0;
    for (size_t at = text.find(placeholder); at != UString::npos;
         at = text.find(placeholder, from)) {
      out.append(text, from, at - from);
      out.append(value);
      from = at + placeholder.size();
    }
    if (from == 0) continue;
    out.append(text, from, UString::npos);
    text = std::move(out);
  }
  return text;
}

bool fillErrorMessagePlaceholdersAsUtf8(std::string_view templ,
                                        const std::optional<std::vector<UString>>& subStrings,
                                        std::string& out) {
  const size_t n = subStrings ? subStrings->size() : 0;
  if (n > 9) return false;
  for (size_t k = 0; k < n; ++k) {
    const UString& sub = (*subStrings)[k];
    if (findCodeUnit(sub, u'%') != UString::npos) return false;
    if (!sub.empty() && (U16_IS_SURROGATE(sub.front()) || U16_IS_SURROGATE(sub.back())))
      return false;
  }
  out.clear();
  // "%" and digits are ASCII: the UTF-8 template is searched as the UTF-16 one would be.
  bool percentBefore = false;  // the last byte written is a "%" of the template
  for (size_t i = 0; i < templ.size(); ++i) {
    const char c = templ[i];
    if (c == '%' && i + 1 < templ.size() && templ[i + 1] >= '1' && templ[i + 1] < char('1' + n)) {
      if (percentBefore) return false;
      const UString& sub = (*subStrings)[size_t(templ[i + 1] - '1')];
      const size_t before = out.size();
      bool ascii = true;
      for (const UChar16 unit : sub) {
        if (unit >= 0x80) {
          ascii = false;
          break;
        }
        out += char(unit);
      }
      if (!ascii) {
        out.resize(before);
        out += toUtf8(sub);
      }
      percentBefore = false;
      ++i;
      continue;
    }
    out += c;
    percentBefore = c == '%';
  }
  return true;
}

int32_t lineIndexForLocation(HostDocument& document, uint32_t location) {
  const UString& text = document.textStorage().string();
  const LineStartTable& table = lineTableFor(document, text);
  // Line feeds strictly before `location`: line starts (offset after a line feed) <= location.
  auto end = std::upper_bound(table.lineStarts.begin(), table.lineStarts.end(), location);
  return static_cast<int32_t>(end - table.lineStarts.begin());
}

void invalidateLineIndexCache(const HostDocument* document) {
  auto& tables = lineTables();
  if (!document) {
    tables.clear();
    return;
  }
  tables.remove_if([&](const LineStartTable& t) { return t.document == document; });
}

int VmkErrorLocationSortDescriptor::compareObject(const VmkErrorLocation& a,
                                                  const VmkErrorLocation& b) const {
  return compareValues(a.errorRange().location, b.errorRange().location);
}

void sortErrorLocations(VmkErrorLocationList& list) {
  // The descriptor orders by location, keeping the order of records at the same place: the
  // locations are sorted with their places in the list (so that no record is read again while
  // sorting), then the records are moved to their new places.
  std::vector<std::pair<uint32_t, size_t>> keys(list.size());
  bool sorted = true;
  for (size_t i = 0; i < list.size(); ++i) {
    keys[i] = {list[i]->errorRange().location, i};
    if (i > 0 && keys[i].first < keys[i - 1].first) sorted = false;
  }
  if (sorted) return;
  std::sort(keys.begin(), keys.end());
  VmkErrorLocationList ordered;
  ordered.reserve(list.size());
  for (const auto& key : keys) ordered.push_back(std::move(list[key.second]));
  list = std::move(ordered);
}

int locationCompare(VmkErrorLocation& a, VmkErrorLocation& b,
                    const ColumnSortDescriptor& descriptor) {
  int result = 0;
  const std::string& key = descriptor.key;
  if (key == "LocationColumn") {
    result = compareValues(a.errorParagraphIndex(), b.errorParagraphIndex());
  } else if (key == "ErrorIconColumn") {
    result = compareValues(a.errorLevel(), b.errorLevel());
  } else if (key == "ErrorTypeColumn") {
    result = compareValues(a.errorNumber(), b.errorNumber());
  } else if (key == "FixButtonColumn") {
    result = compareValues(std::min(a.errorFix(), 0), std::min(b.errorFix(), 0));
  }
  return descriptor.ascending ? result : -result;
}

}  // namespace vmk
