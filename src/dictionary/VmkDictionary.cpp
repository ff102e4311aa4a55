#include "dictionary/VmkDictionary.h"

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <utility>

#include "dictionary/AttributeTypes.h"
#include "dictionary/AttributeValueCheck.h"
#include "dictionary/ContentAutomata.h"
#include "dictionary/DictionaryFolder.h"
#include "support/Digest.h"
#include "support/Paths.h"

namespace vmk {

namespace {

constexpr UChar16 kTab = u'\t';

bool isAscii(UStringView text) {
  for (UChar16 c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// Names are nearly always ASCII; take the cheap mapping when it gives the same answer.
UString upperName(UStringView name) {
  return isAscii(name) ? asciiUppercase(name) : uppercase(name);
}
UString lowerName(UStringView name) {
  return isAscii(name) ? asciiLowercase(name) : lowercase(name);
}

std::optional<UString> stringValue(const PlistDict& dict, std::string_view key) {
  const PlistValue* value = dict.find(key);
  if (!value || !value->isString()) return std::nullopt;
  return toUtf16(*value->asString());
}

// The string members of an array value, in order; false when the value is missing or not an
// array.
bool stringMembers(const PlistDict& dict, std::string_view key, std::vector<UString>* out) {
  const PlistValue* value = dict.find(key);
  if (!value || !value->isArray()) return false;
  for (const PlistValue& member : *value->asArray()) {
    if (const std::string* text = member.asString()) out->push_back(toUtf16(*text));
  }
  return true;
}

// Reading a whole dictionary file takes far longer than reading its bytes, and looking a
// public identifier up reads the installed files one after another. This looks at the bytes
// first: false only when the file is certainly an XML property list whose root holds one
// "DoctypeName" string that differs from the identifier. Whenever the text is written in any
// less plain way (comments, character data sections, references, a second key of that name,
// a key that is not a direct member of the root) it answers true and the file is read whole.
bool mayDeclareDoctypeName(std::string_view bytes, UStringView publicId) {
  constexpr std::string_view kKey = "<key>DoctypeName</key>";
  const size_t key = bytes.find(kKey);
  if (key == std::string_view::npos) return true;
  if (bytes.find(kKey, key + kKey.size()) != std::string_view::npos) return true;
  // Before the key: the XML declaration, a document type, the root element and its first
  // members, and no nested container, comment or section.
  const std::string_view head = bytes.substr(0, key);
  const size_t root = head.find("<dict>");
  if (root == std::string_view::npos || head.find("<plist") == std::string_view::npos ||
      head.find("bplist") != std::string_view::npos)
    return true;
  const std::string_view members = head.substr(root + 6);
  for (std::string_view marker : {"<dict", "<array", "</dict", "<!--", "<![", "&", "</plist"}) {
    if (members.find(marker) != std::string_view::npos) return true;
  }
  if (head.substr(0, root).find("<!--") != std::string_view::npos) return true;
  // The value: white space, "<string>", text without markup or references, "</string>".
  size_t at = key + kKey.size();
  while (at < bytes.size() &&
         (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\n' || bytes[at] == '\r'))
    ++at;
  constexpr std::string_view kOpen = "<string>";
  constexpr std::string_view kClose = "</string>";
  if (bytes.substr(at, kOpen.size()) != kOpen) return true;
  at += kOpen.size();
  const size_t close = bytes.find('<', at);
  if (close == std::string_view::npos || bytes.substr(close, kClose.size()) != kClose) return true;
  const std::string_view value = bytes.substr(at, close - at);
  if (value.empty() || value.front() == ' ' || value.back() == ' ') return true;
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '&' || c == '>' || u < 0x20 || u >= 0x80) return true;
  }
  return isEqualToString(toUtf16(value), publicId, true);
}

}  // namespace

VmkDictionary::VmkDictionary(PlistDict tree, UString displayName)
    : dictionary_(std::move(tree)), displayName_(std::move(displayName)) {
  buildIndex();
}

VmkDictionary::~VmkDictionary() = default;

const ContentAutomata& VmkDictionary::contentAutomata() const {
  std::call_once(contentAutomataMade_,
                 [this] { contentAutomata_ = std::make_unique<ContentAutomata>(*this); });
  return *contentAutomata_;
}

std::unique_ptr<VmkDictionary> VmkDictionary::fromPlist(PlistValue tree, UString displayName) {
  PlistDict* dict = tree.asDict();
  if (!dict) return nullptr;
  return std::make_unique<VmkDictionary>(std::move(*dict), std::move(displayName));
}

namespace {

bool isStringList(const PlistValue& value) {
  const PlistArray* array = value.asArray();
  return array && std::all_of(array->begin(), array->end(),
                              [](const PlistValue& member) { return member.isString(); });
}

// An XML property list ends with its closing tag (the reader forgives a missing one); a file
// cut short anywhere is not a dictionary.
bool endsAsAPropertyList(std::string_view bytes) {
  if (bytes.starts_with("bplist")) return true;  // the binary reader checks its own trailer
  while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\n' || bytes.back() == '\r' ||
                            bytes.back() == '\t' || bytes.back() == '\0'))
    bytes.remove_suffix(1);
  return bytes.ends_with("</plist>");
}

}  // namespace

std::string VmkDictionary::checkDictionaryTree(const PlistValue& tree) {
  const PlistDict* root = tree.asDict();
  if (!root) return "its top level is not a dictionary";
  for (std::string_view key : {"DoctypeName", "SystemIdentifier", "ApplicationName"}) {
    const PlistValue* value = root->find(key);
    if (value && !value->isString()) return "\"" + std::string(key) + "\" is not a string";
  }
  const PlistValue* tableValue = root->find("DtdDictionary");
  if (!tableValue) return "it has no element table (\"DtdDictionary\")";
  const PlistDict* table = tableValue->asDict();
  if (!table) return "its element table (\"DtdDictionary\") is not a dictionary";
  if (table->size() == 0) return "its element table (\"DtdDictionary\") is empty";
  std::optional<bool> xml;
  for (const auto& [name, value] : *table) {
    const std::string element = "element '" + name + "': ";
    const PlistDict* record = value.asDict();
    if (!record) return element + "the record is not a dictionary";
    const PlistValue* type = record->find("TypeString");
    const std::string* typeText = type ? type->asString() : nullptr;
    if (!typeText || (*typeText != "- -" && *typeText != "- O" && *typeText != "O -" &&
                      *typeText != "O O" && *typeText != "XML"))
      return element +
             "\"TypeString\" is missing or not one of \"- -\", \"- O\", \"O -\", "
             "\"O O\", \"XML\"";
    if (xml && *xml != (*typeText == "XML")) return element + "XML and SGML records are mixed";
    xml = *typeText == "XML";
    const PlistValue* children = record->find("ChildElements");
    if (!children || !isStringList(*children))
      return element + "\"ChildElements\" is missing or not a list of names";
    // Checks do not ask for the parents: a hand-written file may leave them out.
    if (const PlistValue* parents = record->find("ParentElements");
        parents && !isStringList(*parents))
      return element + "\"ParentElements\" is not a list of names";
    if (const PlistValue* attributes = record->find("Attributes");
        attributes && !isStringList(*attributes))
      return element + "\"Attributes\" is not a list of entries";
  }
  return std::string();
}

std::unique_ptr<VmkDictionary> VmkDictionary::fromFileBytes(std::string_view bytes,
                                                            UString displayName,
                                                            std::string* reason) {
  auto fail = [&](std::string why) -> std::unique_ptr<VmkDictionary> {
    if (reason) *reason = std::move(why);
    return nullptr;
  };
  if (bytes.empty()) return fail("the file is empty");
  std::optional<PlistValue> tree;
  if (endsAsAPropertyList(bytes)) tree = parsePlist(bytes);
  if (!tree) return fail("not a well-formed property list (truncated or damaged?)");
  std::string problem = checkDictionaryTree(*tree);
  if (!problem.empty()) return fail(std::move(problem));
  return fromPlist(std::move(*tree), std::move(displayName));
}

std::unique_ptr<VmkDictionary> VmkDictionary::fromFile(const std::string& path, UString displayName,
                                                       std::string* reason) {
  std::string readError;
  const std::optional<std::string> bytes = readFileContents(path, &readError);
  if (!bytes) {
    if (reason) *reason = readError;
    return nullptr;
  }
  return fromFileBytes(*bytes, std::move(displayName), reason);
}

std::unique_ptr<VmkDictionary> VmkDictionary::initWithDoctypeName(UStringView publicId) {
  for (const UString& name : htmlDictionaryNames()) {
    const std::optional<std::string> bytes = readFileContents(dictionaryPathForName(name));
    if (!bytes || !mayDeclareDoctypeName(*bytes, publicId)) continue;
    std::unique_ptr<VmkDictionary> dictionary = fromFileBytes(*bytes, name);
    if (!dictionary) continue;
    const std::optional<UString>& doctypeName = dictionary->publicIdentifier();
    if (doctypeName && isEqualToString(*doctypeName, publicId, true)) return dictionary;
  }
  return nullptr;
}

namespace {

// A display name is a file name inside the dictionaries folder, never a path: a name that
// comes from the command line or the settings must not reach files elsewhere.
bool isDictionaryFileName(UStringView displayName) {
  return !displayName.empty() && displayName.find(u'/') == UStringView::npos &&
         displayName != u"." && displayName != u"..";
}

// What tells a file as it is now from the same path rewritten, as far as the file system
// records it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified = 0;  // nanoseconds
  int64_t changed = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  auto nanoseconds = [](const timespec& t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return FileIdentity{status.st_dev, status.st_ino, status.st_size, nanoseconds(status.st_mtim),
                      nanoseconds(status.st_ctim)};
}

int64_t nowInNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Dictionary files met so far, by path: the file as it was read (its identity and a digest of
// its bytes), its dictionary once parsed, and the public identifiers its bytes showed it does
// not declare.
struct KeptDictionary {
  FileIdentity identity;
  std::string digest;
  // A file changed shortly before it was read may change again within the file system's
  // time resolution without its identity showing it: its bytes are compared again.
  bool racy = false;
  std::shared_ptr<const VmkDictionary> dictionary;
  std::vector<UString> notDeclared;
  // Why the file cannot be loaded ("" when it can or was not parsed), and its first bytes,
  // where the identifier it was meant to declare would be.
  std::string problem;
  std::string head;
};

struct KeptDictionaries {
  std::mutex mutex;
  std::unordered_map<std::string, KeptDictionary> byPath;

  // The entry of `path` when it was made from the file as it is now; a stale one is dropped.
  KeptDictionary* find(const std::string& path, const FileIdentity& identity) {
    auto found = byPath.find(path);
    if (found == byPath.end()) return nullptr;
    KeptDictionary& entry = found->second;
    if (entry.identity == identity) {
      if (!entry.racy) return &entry;
      const std::optional<std::string> bytes = readFileContents(path);
      if (bytes && digestHex(std::string_view(*bytes)) == entry.digest) {
        entry.racy = isRecent(identity);
        return &entry;
      }
    }
    byPath.erase(found);
    return nullptr;
  }

  // A new entry for the file read as `bytes` with the identity taken before reading it.
  KeptDictionary& add(const std::string& path, const FileIdentity& identity,
                      std::string_view bytes) {
    KeptDictionary& entry = byPath[path] = KeptDictionary{};
    entry.identity = identity;
    entry.digest = digestHex(bytes);
    entry.racy = isRecent(identity);
    return entry;
  }

  // Changed so shortly before now that a further change could leave the same identity.
  static bool isRecent(const FileIdentity& identity) {
    constexpr int64_t kResolution = int64_t(2) * 1000000000;
    return std::max(identity.modified, identity.changed) + kResolution > nowInNanoseconds();
  }
};

KeptDictionaries& keptDictionaries() {
  static KeptDictionaries* kept = new KeptDictionaries();  // kept until the process ends
  return *kept;
}

bool declares(const VmkDictionary& dictionary, UStringView publicId) {
  const std::optional<UString>& name = dictionary.publicIdentifier();
  return name && isEqualToString(*name, publicId, true);
}

// The dictionary of a file's bytes, or nullptr with the entry noting why not.
std::shared_ptr<const VmkDictionary> dictionaryFromBytes(std::string_view bytes,
                                                         UString displayName,
                                                         KeptDictionary& entry) {
  std::string reason;
  std::shared_ptr<const VmkDictionary> dictionary =
      VmkDictionary::fromFileBytes(bytes, std::move(displayName), &reason);
  if (!dictionary) {
    constexpr size_t kHead = 64 * 1024;
    entry.problem = std::move(reason);
    entry.head = std::string(bytes.substr(0, kHead));
  }
  return dictionary;
}

// Whether a file's first bytes name the public identifier (ASCII case ignored).
bool mentions(std::string_view head, UStringView publicId) {
  const std::string wanted = toUtf8(publicId);
  if (wanted.empty()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return std::search(head.begin(), head.end(), wanted.begin(), wanted.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != head.end();
}

void noteProblem(DictionaryLoadProblem* problem, UStringView name, const std::string& path,
                 const std::string& reason) {
  if (problem) *problem = DictionaryLoadProblem{UString(name), path, reason};
}

}  // namespace

std::unique_ptr<VmkDictionary> VmkDictionary::initWithMenuName(UStringView displayName) {
  if (!isDictionaryFileName(displayName)) return nullptr;
  return fromFile(dictionaryPathForName(displayName), UString(displayName));
}

std::shared_ptr<const VmkDictionary> VmkDictionary::sharedWithMenuName(
    UStringView displayName, DictionaryLoadProblem* problem) {
  if (!isDictionaryFileName(displayName)) {
    noteProblem(problem, displayName, dictionariesFolderPath(),
                "not the name of a dictionary file");
    return nullptr;
  }
  const std::string path = dictionaryPathForName(displayName);
  const std::optional<FileIdentity> identity = identityOf(path);
  if (!identity) {
    noteProblem(problem, displayName, path, "no such dictionary is installed");
    return nullptr;
  }
  KeptDictionaries& kept = keptDictionaries();
  std::lock_guard<std::mutex> lock(kept.mutex);
  KeptDictionary* entry = kept.find(path, *identity);
  if (entry && entry->dictionary) return entry->dictionary;
  if (entry && !entry->problem.empty()) {
    noteProblem(problem, displayName, path, entry->problem);
    return nullptr;
  }
  std::string readError;
  const std::optional<std::string> bytes = readFileContents(path, &readError);
  if (!bytes) {
    noteProblem(problem, displayName, path, readError);
    return nullptr;
  }
  if (!entry) entry = &kept.add(path, *identity, *bytes);
  std::shared_ptr<const VmkDictionary> dictionary =
      dictionaryFromBytes(*bytes, UString(displayName), *entry);
  if (dictionary) {
    entry->dictionary = dictionary;
  } else {
    noteProblem(problem, displayName, path, entry->problem);
  }
  return dictionary;
}

std::shared_ptr<const VmkDictionary> VmkDictionary::sharedWithDoctypeName(
    UStringView publicId, DictionaryLoadProblem* problem) {
  KeptDictionaries& kept = keptDictionaries();
  std::lock_guard<std::mutex> lock(kept.mutex);
  // The first file that names the identifier but cannot be loaded, should no other declare it.
  std::optional<DictionaryLoadProblem> broken;
  auto noteBroken = [&](const UString& name, const std::string& path, const KeptDictionary& entry) {
    if (!broken && mentions(entry.head, publicId))
      broken = DictionaryLoadProblem{name, path, entry.problem};
  };
  for (const UString& name : htmlDictionaryNames()) {
    const std::string path = dictionaryPathForName(name);
    const std::optional<FileIdentity> identity = identityOf(path);
    if (!identity) continue;
    KeptDictionary* entry = kept.find(path, *identity);
    if (entry && entry->dictionary) {
      if (declares(*entry->dictionary, publicId)) return entry->dictionary;
      continue;
    }
    if (entry && !entry->problem.empty()) {
      noteBroken(name, path, *entry);
      continue;
    }
    if (entry && containsStringObject(entry->notDeclared, publicId, true)) continue;
    // As initWithDoctypeName reads it; the identity was taken first, so a file rewritten in
    // between is read again next time.
    const std::optional<std::string> bytes = readFileContents(path);
    if (!bytes) continue;
    if (!entry) entry = &kept.add(path, *identity, *bytes);
    // A file that plainly declares another identifier is not the one wanted, whatever else it
    // holds; any other is loaded whole, and strictly.
    if (!mayDeclareDoctypeName(*bytes, publicId)) {
      entry->notDeclared.emplace_back(publicId);
      continue;
    }
    std::shared_ptr<const VmkDictionary> dictionary = dictionaryFromBytes(*bytes, name, *entry);
    if (!dictionary) {
      noteBroken(name, path, *entry);
      continue;
    }
    entry->dictionary = dictionary;
    if (declares(*dictionary, publicId)) return dictionary;
  }
  if (broken && problem) *problem = std::move(*broken);
  return nullptr;
}

VmkAttributeEntry VmkDictionary::splitAttributeEntry(UStringView entry) {
  VmkAttributeEntry split;
  split.entry = UString(entry);
  const size_t firstTab = entry.find(kTab);
  if (firstTab == UStringView::npos) return split;
  split.tabCount = 1;
  split.name = UString(entry.substr(0, firstTab));
  split.lowerName = lowerName(split.name);
  const UStringView rest = entry.substr(firstTab + 1);
  const size_t secondTab = rest.find(kTab);
  if (secondTab == UStringView::npos) return split;
  split.tabCount = 2;
  split.type = UString(rest.substr(0, secondTab));
  split.defaultValue = UString(rest.substr(secondTab + 1));
  split.cdata = isCDATAAttribute(split.type, &split.cdataKind);
  prepareValueRule(split);
  return split;
}

void VmkDictionary::extractAttributeData(UStringView entry, std::optional<UString>* name,
                                         std::optional<UString>* info1,
                                         std::optional<UString>* info2) {
  VmkAttributeEntry split = splitAttributeEntry(entry);
  if (name) *name = split.hasName() ? std::optional<UString>(std::move(split.name)) : std::nullopt;
  if (info1) {
    *info1 =
        split.hasTypeAndDefault() ? std::optional<UString>(std::move(split.type)) : std::nullopt;
  }
  if (info2) {
    *info2 = split.hasTypeAndDefault() ? std::optional<UString>(std::move(split.defaultValue))
                                       : std::nullopt;
  }
}

void VmkDictionary::buildIndex() {
  publicIdentifier_ = stringValue(dictionary_, "DoctypeName");
  systemIdentifier_ = stringValue(dictionary_, "SystemIdentifier");

  const PlistValue* table = dictionary_.find("DtdDictionary");
  if (!table || !table->isDict()) return;

  records_.reserve(table->asDict()->size());
  for (const auto& [key, value] : *table->asDict()) {
    VmkElementRecord& record = records_.emplace_back();
    record.name = toUtf16(key);
    record.raw = value.asDict();
    if (!record.raw) continue;
    const PlistDict& raw = *record.raw;
    record.typeString = stringValue(raw, "TypeString");
    record.hasChildElements = stringMembers(raw, "ChildElements", &record.childElements);
    record.childSet.insert(record.childElements.begin(), record.childElements.end());
    record.holdsCDATA = record.childSet.contains(u"CDATA");
    record.hasParentElements = stringMembers(raw, "ParentElements", &record.parentElements);
    record.contentModel = stringValue(raw, "ContentModel");
    stringMembers(raw, "Inclusions", &record.inclusions);
    stringMembers(raw, "Exclusions", &record.exclusions);

    std::vector<UString> entries;
    record.hasAttributes = stringMembers(raw, "Attributes", &entries);
    record.attributes.reserve(entries.size());
    for (const UString& text : entries) {
      VmkAttributeEntry& entry = record.attributes.emplace_back(splitAttributeEntry(text));
      if (!entry.hasName()) continue;
      record.attributeNames.insert(entry.name);
      record.attributesByLowerName[entry.lowerName].push_back(record.attributes.size() - 1);
      if (entry.hasTypeAndDefault() && entry.defaultValue == u"#REQUIRED") {
        record.requiredAttributes.push_back(entry.name);
      }
    }

    // The first member of the child list, whatever its kind, decides emptiness.
    const PlistValue* children = raw.find("ChildElements");
    const PlistArray* childArray = children ? children->asArray() : nullptr;
    const std::string* first =
        childArray && !childArray->empty() ? childArray->front().asString() : nullptr;
    if (first && *first == "EMPTY") {
      record.endTagType = kEndTagEmpty;
    } else if (record.typeString && (*record.typeString == u"XML" || *record.typeString == u"- -" ||
                                     *record.typeString == u"O -")) {
      record.endTagType = kEndTagRequired;
    } else {
      record.endTagType = kEndTagOmissible;
    }
  }

  // records_ is complete: its names no longer move. The first record of a name wins.
  for (size_t i = 0; i < records_.size(); ++i) index_.emplace(records_[i].name, i);

  isXML_ = !records_.empty() && records_.front().typeString == u"XML";
  if (isXML_) {
    // Names in an XML document follow the XML rules (a name may start with "_" or ":", and
    // letters beyond ASCII count).
    using Rule = VmkAttributeEntry::ValueRule;
    for (VmkElementRecord& record : records_) {
      for (VmkAttributeEntry& entry : record.attributes) {
        if (entry.valueRule == Rule::kName) entry.valueRule = Rule::kXmlName;
        if (entry.valueRule == Rule::kNmtoken) entry.valueRule = Rule::kXmlNmtoken;
        if (entry.valueRule == Rule::kNmtokens) entry.valueRule = Rule::kXmlNmtokens;
      }
    }
  }

  for (VmkElementRecord& record : records_) {
    for (const UString& child : record.childElements) {
      const VmkElementRecord* container = elementRecord(child);
      if (container && container->typeString == u"O O") {
        record.childrenThroughOmissibleContainers.insert(container->childElements.begin(),
                                                         container->childElements.end());
      }
    }
  }
}

const VmkElementRecord* VmkDictionary::elementRecord(UStringView element) const {
  const auto found = index_.find(element);
  return found == index_.end() ? nullptr : &records_[found->second];
}

UString VmkDictionary::foldElementName(UStringView element) const {
  return isXML_ ? lowerName(element) : upperName(element);
}

std::optional<UString> VmkDictionary::doctypeTag() const {
  if (!publicIdentifier_) return std::nullopt;
  UString tag = u"<!DOCTYPE html PUBLIC \"" + *publicIdentifier_ + u"\"";
  if (systemIdentifier_) tag += u" \"" + *systemIdentifier_ + u"\"";
  tag += u">";
  return tag;
}

int VmkDictionary::endTagTypeForElement(UStringView element) const {
  const VmkElementRecord* record = elementRecord(element);
  return record ? record->endTagType : kEndTagNotInDictionary;
}

bool VmkDictionary::isCDATAElement(UStringView element) const {
  const VmkElementRecord* record = elementRecord(element);
  return record && record->holdsCDATA;
}

int VmkDictionary::isChildElement(UStringView child, UStringView parentElement) const {
  const VmkElementRecord* parent = foldedElementRecord(parentElement);
  if (!parent) return -1;
  UString childName;
  if (isXML_) {
    childName = UString(child);
  } else {
    childName = upperName(child);
    if (childName == u"INS" || childName == u"DEL") return 1;
  }
  if (!parent->hasChildElements) return -1;
  if (parent->childSet.contains(childName)) return 1;
  if (!elementRecord(childName)) return -1;
  if (parent->childrenThroughOmissibleContainers.contains(childName)) return 1;
  return 0;
}

bool VmkDictionary::canContainAttribute(UStringView attribute, UStringView element) const {
  return canContainAttribute(attribute, foldedElementRecord(element));
}

bool VmkDictionary::canContainAttribute(UStringView attribute,
                                        const VmkElementRecord* record) const {
  if (!record) return true;
  if (!record->hasAttributes) return false;
  if (isXML_) return record->attributeNames.contains(UString(attribute));
  return record->attributeNames.contains(lowerName(attribute));
}

std::optional<std::vector<UString>> VmkDictionary::requiredAttributesForElement(
    UStringView element) const {
  const VmkElementRecord* record = foldedElementRecord(element);
  if (!record || record->requiredAttributes.empty()) return std::nullopt;
  return record->requiredAttributes;
}

const std::vector<UString>& VmkDictionary::linkableAttributeNameArray() const {
  std::call_once(linkableAttributesMade_, [this] {
    for (const VmkElementRecord& record : records_) {
      const UString element = lowerName(record.name);
      for (const VmkAttributeEntry& entry : record.attributes) {
        if (!entry.cdata || !entry.cdataKind) continue;
        const UString& kind = *entry.cdataKind;
        if (kind == u"URL" || kind == u"URI" || kind == u"UriList") {
          linkableAttributes_.push_back(element + kTab + lowerName(entry.name));
        }
      }
    }
  });
  return linkableAttributes_;
}

}  // namespace vmk
