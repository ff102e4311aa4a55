#include "results/VmkErrorBrowser.h"

#include <algorithm>
#include <unordered_map>

#include "engine/VmkHTMLChecker.h"
#include "errors/MessageTables.h"
#include "host/HostDocument.h"
#include "host/Platform.h"
#include "results/LocalizedFormat.h"
#include "settings/VmkUserDefaults.h"

namespace vmk {

bool gDoAutoCheck = false;

namespace {

HostDocument* documentOf(const ResultObject& object) {
  const auto* document = std::get_if<HostDocument*>(&object);
  return document ? *document : nullptr;
}

std::optional<std::string> digestOf(const ResultObject& object) {
  if (HostDocument* document = documentOf(object)) return document->md5DigestString();
  return std::nullopt;
}

// The path of a file address (an absolute path, or a file:// address without host).
std::string pathOfFileAddress(const std::string& address) {
  if (!address.starts_with("file://")) return address;
  std::string rest = address.substr(7);
  const size_t slash = rest.find('/');
  rest = slash == std::string::npos ? std::string() : rest.substr(slash);
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && std::isxdigit((unsigned char)rest[i + 1]) &&
        std::isxdigit((unsigned char)rest[i + 2])) {
      path.push_back(static_cast<char>(std::stoi(rest.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      path.push_back(rest[i]);
    }
  }
  return path;
}

void countLevels(const VmkErrorLocationList& locations, int& errors, int& cautions) {
  errors = 0;
  cautions = 0;
  // Levels are looked up once per code: records point to one stored copy of their code (see
  // internedErrorCode), so its address is the key, and a run leaves few codes many times each.
  std::unordered_map<const std::string*, int> levels;
  const std::string* lastCode = nullptr;
  int lastLevel = 0;
  for (const auto& location : locations) {
    const std::string* code = &location->errorCode();
    if (code != lastCode) {
      auto [it, added] = levels.try_emplace(code, 0);
      if (added) it->second = location->errorLevel();
      lastCode = code;
      lastLevel = it->second;
    }
    if (lastLevel == 2) ++errors;
    if (lastLevel == 1) ++cautions;
  }
}

}  // namespace

VmkErrorBrowser& VmkErrorBrowser::sharedErrorBrowser() {
  static VmkErrorBrowser* shared = [] {
    auto* browser = new VmkErrorBrowser();
    setResultsDisplay(browser);
    return browser;
  }();
  return *shared;
}

VmkErrorBrowser& sharedErrorBrowser() {
  return VmkErrorBrowser::sharedErrorBrowser();
}

VmkErrorBrowser::VmkErrorBrowser(ResultsView* view)
    : ownView_(std::make_unique<HeadlessResultsView>()), view_(view ? view : ownView_.get()) {}

VmkErrorBrowser::~VmkErrorBrowser() = default;

void VmkErrorBrowser::setResultsView(ResultsView* view) {
  view_ = view ? view : ownView_.get();
}

std::vector<VmkResultEntry>& VmkErrorBrowser::ensureList() {
  if (!errorResultArray_) errorResultArray_.emplace();
  return *errorResultArray_;
}

std::vector<VmkResultEntry>::iterator VmkErrorBrowser::findEntry(const ResultObject& object) {
  auto& list = ensureList();
  return std::find_if(list.begin(), list.end(), [&](const VmkResultEntry& entry) {
    return sameResultObject(entry.object, object);
  });
}

const VmkResultEntry* VmkErrorBrowser::entryForObject(const ResultObject& object) const {
  if (!errorResultArray_) return nullptr;
  for (const auto& entry : *errorResultArray_) {
    if (sameResultObject(entry.object, object)) return &entry;
  }
  return nullptr;
}

void VmkErrorBrowser::removeEntryAt(std::vector<VmkResultEntry>::iterator it) {
  view_->collapseItem(it->object);
  errorResultArray_->erase(it);
}

// --- Store operations ---

void VmkErrorBrowser::addErrorLocation(const VmkErrorLocationRef& location,
                                       const ResultObject& object) {
  mergeErrorLocations(VmkErrorLocationList{location}, object);
}

void VmkErrorBrowser::mergeErrorLocations(const VmkErrorLocationList& locations,
                                          const ResultObject& object) {
  auto& list = ensureList();
  VmkErrorLocationList records;
  auto it = findEntry(object);
  if (it != list.end()) {
    records.reserve(it->locations.size() + locations.size());
    records = std::move(it->locations);
    records.insert(records.end(), locations.begin(), locations.end());
    list.erase(it);
  } else {
    records = locations;
  }
  list.push_back(VmkResultEntry{object, std::move(records), digestOf(object)});
  view_->reloadData();
  view_->expandItem(object);
  view_->setMessage(u"");
}

void VmkErrorBrowser::clearErrorLocationsForObject(const ResultObject& object) {
  if (!errorResultArray_) return;
  auto it = findEntry(object);
  if (it == errorResultArray_->end()) return;
  removeEntryAt(it);
  view_->reloadData();
}

void VmkErrorBrowser::replaceObjectFrom(const ResultObject& from, const ResultObject& to) {
  const ResultObject oldObject = from;  // `from` may be an entry's own object
  bool expanded = false;
  if (errorResultArray_) {
    auto it = findEntry(oldObject);
    if (it != errorResultArray_->end()) {
      if (std::holds_alternative<std::monostate>(to)) {
        removeEntryAt(it);
      } else {
        expanded = view_->isItemExpanded(oldObject);
        for (const auto& location : it->locations) location->setParent(to);
        std::optional<std::string> digest = documentOf(to) ? digestOf(to) : std::move(it->digest);
        *it = VmkResultEntry{to, std::move(it->locations), std::move(digest)};
        view_->collapseItem(oldObject);
      }
    }
  }
  view_->reloadData();
  if (expanded) view_->expandItem(to);
  view_->setMessage(u"");
}

bool VmkErrorBrowser::documentDidOpened(HostDocument& document) {
  bool needsCheck = true;
  if (!errorResultArray_) return needsCheck;
  const std::optional<ResultRowItem> selected = view_->selectedItem();
  const std::optional<std::string> fileName = document.fileName();
  const std::optional<std::string> remoteURL = document.remoteURL();
  for (const auto& entry : *errorResultArray_) {
    const auto* address = std::get_if<std::string>(&entry.object);
    if (!address) continue;
    const bool matches = isFileAddress(*address)
                             ? (fileName && pathOfFileAddress(*address) == *fileName)
                             : (remoteURL && *remoteURL == *address);
    if (!matches) continue;
    if (entry.digest && *entry.digest == document.md5DigestString()) needsCheck = false;
    const ResultObject key = entry.object;
    replaceObjectFrom(key, ResultObject(&document));
    if (!needsCheck && selected) selectHTMLSourceForRowItem(*selected, true);
    return needsCheck;
  }
  return needsCheck;
}

void VmkErrorBrowser::documentDidEdited(HostDocument& document, Range range, int64_t length) {
  if (!errorResultArray_) return;
  const ResultObject object(&document);
  auto it = findEntry(object);
  if (it == errorResultArray_->end()) return;
  if (it->locations.size() > kMaxTrackedErrorLocations && !gAutoCorrectingErros) {
    gDoAutoCheck = true;
    return;
  }
  // The line-start table of the old text no longer holds.
  invalidateLineIndexCache(&document);

  const int64_t e = range.location;
  const int64_t n = range.length;
  const int64_t d = length;
  const int64_t oldEnd = e + n - d;  // end of the replaced range in the old text
  const int64_t newEnd = e + n;      // end of the edited range in the new text

  std::optional<VmkErrorLocationList> kept;  // made at the first drop
  const VmkErrorLocationList& records = it->locations;
  for (size_t i = 0; i < records.size(); ++i) {
    const VmkErrorLocationRef& record = records[i];
    const Range r = record->errorRange();
    const int64_t start = r.location;
    const int64_t end = start + int64_t(r.length);
    bool dropped = false;
    if (oldEnd <= start) {
      record->setErrorRange(Range(static_cast<uint32_t>(start + d), r.length));
      record->resetErrorParagraphIndex();
    } else if (newEnd > end) {
      // The edit reaches past the record: left as it is.
    } else if (d >= 0 || int64_t(r.length) >= -d) {
      record->setErrorRange(Range(r.location, static_cast<uint32_t>(int64_t(r.length) + d)));
      record->resetErrorParagraphIndex();
    } else {
      if (!kept) kept.emplace(records.begin(), records.begin() + static_cast<ptrdiff_t>(i));
      record->setErrorRange(Range(static_cast<uint32_t>(e), 0));
      record->resetErrorParagraphIndex();
      dropped = true;
    }
    if (kept && !dropped) kept->push_back(record);
  }

  if (kept) {
    *it = VmkResultEntry{object, std::move(*kept), std::string()};
    view_->reloadData();
  } else {
    view_->reloadItem(object);
  }
}

void VmkErrorBrowser::getErrorCount(int& errorCount, int& cautionCount,
                                    const ResultObject& object) {
  errorCount = 0;
  cautionCount = 0;
  auto& list = ensureList();
  auto it = findEntry(object);
  if (it == list.end()) return;
  countLevels(it->locations, errorCount, cautionCount);
}

void VmkErrorBrowser::updateResultsForDocument(HostDocument& document) {
  if (!errorResultArray_) return;
  const ResultObject object(&document);
  for (const auto& entry : *errorResultArray_) {
    if (!sameResultObject(entry.object, object) || !view_->isItemExpanded(entry.object)) continue;
    clearErrorLocationsForObject(object);
    revalidateDocument(document, !scriptCommandRunning_);
    return;
  }
}

void VmkErrorBrowser::clearAllErrors() {
  view_->setMessage(u"");
  if (errorResultArray_) {
    for (const auto& entry : *errorResultArray_) view_->collapseItem(entry.object);
  }
  errorResultArray_.reset();
  view_->reloadData();
}

std::vector<ResultRowItem> VmkErrorBrowser::rowItems() const {
  std::vector<ResultRowItem> rows;
  if (!errorResultArray_) return rows;
  for (const auto& entry : *errorResultArray_) {
    rows.emplace_back(entry.object);
    if (!view_->isItemExpanded(entry.object)) continue;
    for (const auto& location : entry.locations) rows.emplace_back(location);
  }
  return rows;
}

void VmkErrorBrowser::deleteRowItem(const ResultRowItem& item) {
  if (!errorResultArray_) return;
  const std::vector<ResultRowItem> before = rowItems();
  const auto row = std::find(before.begin(), before.end(), item);
  if (const auto* object = std::get_if<ResultObject>(&item)) {
    auto it = findEntry(*object);
    if (it != errorResultArray_->end()) removeEntryAt(it);
  } else {
    const VmkErrorLocationRef& record = std::get<VmkErrorLocationRef>(item);
    for (auto it = errorResultArray_->begin(); it != errorResultArray_->end(); ++it) {
      auto found = std::find(it->locations.begin(), it->locations.end(), record);
      if (found == it->locations.end()) continue;
      VmkErrorLocationList remaining;
      remaining.reserve(it->locations.size() - 1);
      remaining.insert(remaining.end(), it->locations.begin(), found);
      remaining.insert(remaining.end(), found + 1, it->locations.end());
      if (remaining.empty()) {
        removeEntryAt(it);
      } else {
        std::optional<std::string> digest = it->digest;
        if (std::optional<std::string> checked = lastCheckedDigestFor(it->object)) {
          digest = std::move(checked);
        }
        *it = VmkResultEntry{it->object, std::move(remaining), std::move(digest)};
      }
      break;
    }
  }
  view_->reloadData();
  if (row == before.end()) return;
  const size_t index = static_cast<size_t>(row - before.begin());
  const std::vector<ResultRowItem> after = rowItems();
  if (index < after.size()) {
    view_->selectItem(after[index]);
  } else if (index > 0 && !after.empty()) {
    view_->selectItem(after[std::min(index, after.size()) - 1]);
  }
}

// --- Summary and sound ---

UString VmkErrorBrowser::errorSummaryForError(int errors, int cautions) {
  if (errors + cautions == 0) {
    return localizedString(kVelumarkXTable, "Any errors and warnings were not found!");
  }
  if (errors == 0) {
    return formatLocalized(localizedString(kVelumarkXTable, "%d cautions were found!"),
                           {toUString(cautions)});
  }
  if (cautions == 0) {
    return formatLocalized(localizedString(kVelumarkXTable, "%d errors were found!"),
                           {toUString(errors)});
  }
  return formatLocalized(localizedString(kVelumarkXTable, "%d errors and %d cautions were found!"),
                         {toUString(errors), toUString(cautions)});
}

UString VmkErrorBrowser::errorSummaryForItem(const VmkResultEntry& entry) const {
  int errors = 0;
  int cautions = 0;
  countLevels(entry.locations, errors, cautions);
  return errorSummaryForError(errors, cautions);
}

std::string VmkErrorBrowser::soundNameForError(int errors, int cautions) {
  const VmkUserDefaults& defaults = sharedVmkUserDefaults();
  if (errors == 0 && cautions == 0) return defaults.stringForKey("Vmk_NoErrorSoundName");
  if (errors == 0) return defaults.stringForKey("Vmk_CautionSoundName");
  return defaults.stringForKey("Vmk_ErrorSoundName");
}

void VmkErrorBrowser::dispErrorMessage(const UString& text) {
  view_->setMessage(text);
}

void VmkErrorBrowser::dispErrorSummary(const VmkErrorLocationList& locations,
                                       const std::optional<UString>& doctypeName, bool withSound) {
  int errors = 0;
  int cautions = 0;
  countLevels(locations, errors, cautions);
  dispErrorSummaryForError(errors, cautions, doctypeName, withSound);
}

void VmkErrorBrowser::dispErrorSummaryForError(int errors, int cautions,
                                               const std::optional<UString>& doctypeName,
                                               bool withSound) {
  const UString summary = errorSummaryForError(errors, cautions);
  dispErrorMessage(doctypeName ? formatLocalized(u"%@: %@", {*doctypeName, summary}) : summary);
  if (withSound) platform().playSound(soundNameForError(errors, cautions));
  stopSpiningBall();
}

void VmkErrorBrowser::startSpiningBall() {
  view_->startBusyIndicator();
}
void VmkErrorBrowser::stopSpiningBall() {
  view_->stopBusyIndicator();
}

// --- Window-driven operations ---

void VmkErrorBrowser::open() {
  view_->open();
}

void VmkErrorBrowser::collapseAllItemsExceptFor(const ResultObject& object) {
  for (const ResultObject& expanded : view_->expandedItems()) {
    if (!sameResultObject(expanded, object)) view_->collapseItem(expanded);
  }
}

void VmkErrorBrowser::expandItemFor(const ResultObject& object) {
  if (entryForObject(object) && !view_->isItemExpanded(object)) view_->expandItem(object);
}

void VmkErrorBrowser::collapseItemFor(const ResultObject& object) {
  if (view_->isItemExpanded(object)) view_->collapseItem(object);
}

void VmkErrorBrowser::didBecomeKeyWindow(HostDocument* frontmost) {
  const VmkUserDefaults& defaults = sharedVmkUserDefaults();
  if (frontmost && defaults.integerForKey("Vmk_BeforeNewCheck") == 2) {
    collapseAllItemsExceptFor(ResultObject(frontmost));
    expandItemFor(ResultObject(frontmost));
  }
  if (!defaults.boolForKey("Vmk_ActivatedAutoCheck") && !gDoAutoCheck) return;
  gDoAutoCheck = false;
  if (!frontmost || !errorResultArray_) return;
  std::vector<HostDocument*> stale;
  for (const auto& entry : *errorResultArray_) {
    if (documentOf(entry.object) != frontmost || !view_->isItemExpanded(entry.object)) continue;
    if (entry.digest != frontmost->md5DigestString()) stale.push_back(frontmost);
  }
  for (HostDocument* document : stale) {
    clearErrorLocationsForObject(ResultObject(document));
    revalidateDocument(*document, true);
  }
}

void VmkErrorBrowser::selectHTMLSourceForRowItem(const ResultRowItem& item,
                                                 bool andDocWindowTofront) {
  setErrorDescriptionForItem(item);
  const auto* record = std::get_if<VmkErrorLocationRef>(&item);
  if (!record || !*record) return;
  if (HostDocument* document = (*record)->parentDocument()) {
    document->setSelectedRange((*record)->errorRange(), true, andDocWindowTofront);
  }
}

UString VmkErrorBrowser::nameOfResultObject(const ResultObject& object) {
  if (const auto* address = std::get_if<std::string>(&object)) {
    return toUtf16(isFileAddress(*address) ? pathOfFileAddress(*address) : *address);
  }
  if (HostDocument* document = documentOf(object)) {
    if (auto fileName = document->fileName()) return toUtf16(*fileName);
    return document->displayName();
  }
  return UString();
}

void VmkErrorBrowser::setErrorDescriptionForItem(const ResultRowItem& item) {
  if (const auto* record = std::get_if<VmkErrorLocationRef>(&item)) {
    if (!*record) return;
    view_->setDescription(formatLocalized(
        u"\n%@:  %@\n\n%@",
        {(*record)->errorNumber(), (*record)->errorTitle(), (*record)->errorDescription()}));
    return;
  }
  const ResultObject& object = std::get<ResultObject>(item);
  const VmkResultEntry* entry = entryForObject(object);
  if (!entry) return;
  view_->setDescription(
      formatLocalized(u"\n%@\n\n%@", {nameOfResultObject(object), errorSummaryForItem(*entry)}));
}

void VmkErrorBrowser::revalidateDocument(HostDocument& document, bool withSound) {
  ++recheckCount_;
  revalidateWithSharedChecker(document, withSound);
}

void VmkErrorBrowser::revalidateWithSharedChecker(HostDocument& document, bool withSound) {
  sharedHTMLChecker().validateHTMLForDocument(document, true, withSound);
}

std::optional<std::string> VmkErrorBrowser::lastCheckedDigestFor(const ResultObject& object) {
  HostDocument* document = documentOf(object);
  const VmkHTMLChecker& checker = sharedHTMLChecker();
  if (!document || checker.sourceDocument() != document) return std::nullopt;
  return checker.lastMD5String();
}

}  // namespace vmk
