#include "errors/ErrorCatalogue.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>

#include "settings/VmkUserDefaults.h"

namespace vmk {

namespace {

constexpr std::array<ErrorCatalogueEntry, 92> kFactoryCatalogue{{
    {"SpaceBeforeElementName", "H001", 2, 1},
    {"NoSuchElementName", "H002", 2, -1},
    {"LtMarkInTag", "H003", 2, 1},
    {"StartTagNotFound", "H004", 2, -1},
    {"EndTagMayBeOmitted", "H005", 1, -1},
    {"LeftLtMarkNotFound", "H006", 2, -1},
    {"EndTagNotFound", "H007", 2, -1},
    {"CantBeChildElement", "H008", 2, -1},
    {"NoDataBetweenStartAndEndTags", "H009", 1, -1},
    {"NeedsQuotationMarks", "H010", 2, 1},
    {"NoSuchAttribute", "H011", 2, -1},
    {"NoRequiredAttribute", "H012", 2, -1},
    {"WrongAmpersand", "H013", 1, 1},
    {"NoRightQuotationMark", "H014", 2, 1},
    {"NoHtmlTag", "H015", 1, 1},
    {"WrongElementsOrder", "H016", 2, -1},
    {"NoTitleTagInHead", "H017", 1, 1},
    {"DataCantBeInserted", "H018", 2, -1},
    {"OneCharacterAttributeValue", "H019", 2, -1},
    {"AttributeValueMustBeSpecified", "H020", 2, -1},
    {"MultiValueAttribute", "H021", 2, -1},
    {"SpaceContainedURLValue", "H022", 2, 1},
    {"ControlContainedURLValue", "H023", 2, 1},
    {"UnSafeURLValue", "H024", 1, 1},
    {"EncodingNotMatched", "H025", 1, 1},
    {"UnSafeCharacterSetValue", "H026", 1, 1},
    {"UnSafeKatakana", "H027", 1, 1},
    {"NoHtmlTagBeforeDoctype", "H028", 1, 1},
    {"UnSafeColorName", "H029", 1, -1},
    {"MachineDependantCharacter", "H030", 1, -1},
    {"AnchorPlaceNotFound", "H031", 2, -1},
    {"MapNotSpecified", "H032", 2, -1},
    {"NullCodeDetected", "H033", 2, 1},
    {"NoSuchHtmlDictionary", "H034", 1, -1},
    {"NoDoctypeDeclaration", "H035", 1, 1},
    {"FixedValueAttribute", "H036", 2, 1},
    {"CantOmitAttributeNameInXhtml", "H037", 2, 1},
    {"BoolValueAttribute", "H038", 2, 1},
    {"NumberValueAttribute", "H037", 2, -1},
    {"NameValueAttribute", "H038", 2, -1},
    {"MNTOKENAttribute", "H039", 2, -1},
    {"ThisIDAlreadyDefined", "H040", 2, -1},
    {"UnSafeEncodingName", "H041", 1, -1},
    {"MultiLengthValueAttribute", "H042", 2, -1},
    {"MultiLengthValueArrayAttribute", "H043", 2, -1},
    {"NoEndTagForThisElement", "H044", 2, -1},
    {"LengthValueAttribte", "H045", 2, -1},
    {"WrongColorValueAttribute", "H046", 2, -1},
    {"EndTagCantBeOmitted", "H047", 2, -1},
    {"XMLVersionRequired", "H048", 1, 1},
    {"XMLEncodingRequired", "H049", 1, 1},
    {"NoCDATAEndMark", "H050", 2, -1},
    {"HeadElementIsRecomended", "H051", 1, 1},
    {"ThisAttributeNotDefinedInDtd", "H052", 2, 1},
    {"MustCapitalLatterInDoctype", "H053", 1, 1},
    {"WrongSchemeInURL", "H054", 1, -1},
    {"HtmlEndTagNotFound", "H055", 1, 1},
    {"BodyEndTagNotFound", "H056", 1, 1},
    {"JapneseEncodingButNoJapanese", "H057", 1, 1},
    {"WrongXmlVersion", "H058", 1, 1},
    {"VoidURLValue", "H059", 1, -1},
    {"DuplicateAttributes", "H060", 2, -1},
    {"DontUseThisEndTagInXHTML", "H061", 1, 1},
    {"BaseTagMustBeTopInHeadSection", "H062", 1, 1},
    {"BaseURLMustBeAbsolute", "H063", 2, -1},
    {"EncodingConflictBetweenXMLandMeta", "H064", 2, -1},
    {"ThisIDNotDefined", "H065", 2, -1},
    {"XmlTagMustBeFirst", "H066", 2, 1},
    {"HtmlMustBeLowerCaseInXHTML", "H067", 2, 1},
    {"NoSystemIdentifier", "H068", 1, 1},
    {"WrongSystemIdentifier", "H069", 1, 1},
    {"ElementNameShouldLowercase", "H070", 2, 1},
    {"AttributeNameShouldLowercase", "H071", 2, 1},
    {"XHTMLDuplicateEndTag", "H072", 2, 1},
    {"NoAltAttributeForImg", "H073", 2, 1},
    {"NoAltAttributeForArea", "H074", 2, 1},
    {"NoTypeAttributeForStyle", "H075", 2, 1},
    {"NoTypeAttributeForScript", "H076", 2, 1},
    {"WrongHexColorValue", "H077", 2, 1},
    {"WrongTagEnd", "H078", 2, 1},
    {"DoctypeMustBeTop", "H079", 2, -1},
    {"SemiColonLacked", "H080", 2, 1},
    // Reported only with "Vmk_StrictDTDChecks" on.
    {"RequiredElementMissing", "H081", 2, -1},
    {"ElementOutOfPlace", "H082", 2, -1},
    {"ExcludedElement", "H083", 2, -1},
    {"NoAbsolutePath", "L001", 2, -1},
    {"LocalDocumentNotFound", "L002", 2, -1},
    {"OtherLinkError", "L003", 2, -1},
    {"CantCheckThisURL", "L004", 1, -1},
    {"Redirection", "L005", 1, -1},
    {"ClientError", "L006", 2, -1},
    {"ServerError", "L007", 2, -1},
}};

// The codes added after the 89 of the first catalogue.
bool isAddedLater(std::string_view code) {
  return code == "RequiredElementMissing" || code == "ElementOutOfPlace" ||
         code == "ExcludedElement";
}

// What a lookup answers for one code: the values of the first record with that code.
struct IndexedEntry {
  int level = 0;
  int fix = 0;
  std::string number;
  UString numberU;
};

// Looked up by the code's view, without making a string of it.
struct CodeHash {
  using is_transparent = void;
  size_t operator()(std::string_view code) const { return std::hash<std::string_view>()(code); }
};

// Code -> first record, for the catalogue of one store version.
struct CatalogueIndex {
  uint64_t version = 0;
  bool built = false;
  std::unordered_map<std::string, IndexedEntry, CodeHash, std::equal_to<>> entries;
};

int integerOf(const PlistDict& record, std::string_view key) {
  const PlistValue* v = record.find(key);
  return v ? static_cast<int>(v->integerValue()) : 0;
}

// True when the record's value for the key is not already the integer `value`.
bool differsFrom(const PlistDict& record, std::string_view key, int value) {
  const PlistValue* v = record.find(key);
  return !v || !v->isInteger() || v->integerValue() != value;
}

const CatalogueIndex& indexFor(const VmkUserDefaults& store) {
  static CatalogueIndex index;
  if (index.built && index.version == store.version()) return index;
  index.entries.clear();
  index.version = store.version();
  index.built = true;
  const PlistValue* catalogue = store.objectForKey(kErrorDictionaryArrayKey);
  const PlistArray* records = catalogue ? catalogue->asArray() : nullptr;
  if (!records) return index;
  index.entries.reserve(records->size() + 4);
  for (const PlistValue& value : *records) {
    const PlistDict* record = value.asDict();
    if (!record) continue;
    const PlistValue* key = record->find(kErrorKey);
    const std::string* code = key ? key->asString() : nullptr;
    if (!code || index.entries.contains(*code)) continue;
    IndexedEntry entry;
    entry.level = integerOf(*record, kErrorLevel);
    entry.fix = integerOf(*record, kErrorFix);
    const PlistValue* number = record->find(kErrorNumber);
    if (number && number->asString()) entry.number = *number->asString();
    entry.numberU = toUtf16(entry.number);
    index.entries.emplace(*code, std::move(entry));
  }
  // A catalogue stored before the strict content codes were added lacks them: they keep their
  // factory values. (Any other code missing from a stored list reads as not checked.)
  for (const ErrorCatalogueEntry& e : kFactoryCatalogue) {
    if (!isAddedLater(e.errorKey) || index.entries.contains(e.errorKey)) continue;
    IndexedEntry entry;
    entry.level = e.errorLevel;
    entry.fix = e.errorFix;
    entry.number = std::string(e.errorNumber);
    entry.numberU = toUtf16(entry.number);
    index.entries.emplace(std::string(e.errorKey), std::move(entry));
  }
  return index;
}

const IndexedEntry* lookup(const VmkUserDefaults& store, std::string_view code) {
  const CatalogueIndex& index = indexFor(store);
  auto it = index.entries.find(code);
  return it == index.entries.end() ? nullptr : &it->second;
}

// Applies fn to every record with the code in a copy of the current catalogue and stores the
// copy when something changed.
template <typename Fn>
ErrorSettingResult editRecords(VmkUserDefaults& store, std::string_view code, Fn fn) {
  const PlistValue* current = store.objectForKey(kErrorDictionaryArrayKey);
  if (!current || !current->asArray()) return ErrorSettingResult::UnknownCode;
  PlistArray records = *current->asArray();
  bool found = false;
  bool changed = false;
  for (PlistValue& value : records) {
    PlistDict* record = value.asDict();
    if (!record) continue;
    const PlistValue* key = record->find(kErrorKey);
    if (!key || !key->asString() || *key->asString() != code) continue;
    found = true;
    ErrorSettingResult r = fn(*record, changed);
    if (r != ErrorSettingResult::Changed) return r;
  }
  if (!found) {
    // A code the stored catalogue lacks gets its factory record first.
    auto factory = std::find_if(kFactoryCatalogue.begin(), kFactoryCatalogue.end(),
                                [&](const ErrorCatalogueEntry& e) { return e.errorKey == code; });
    if (factory == kFactoryCatalogue.end() || !isAddedLater(code)) {
      return ErrorSettingResult::UnknownCode;
    }
    PlistDict record;
    record.set(std::string(kErrorKey), PlistValue(std::string(factory->errorKey)));
    record.set(std::string(kErrorNumber), PlistValue(std::string(factory->errorNumber)));
    record.set(std::string(kErrorLevel), PlistValue(factory->errorLevel));
    record.set(std::string(kErrorFix), PlistValue(factory->errorFix));
    ErrorSettingResult r = fn(record, changed);
    if (r != ErrorSettingResult::Changed) return r;
    records.emplace_back(std::move(record));
    changed = true;
  }
  if (!changed) return ErrorSettingResult::Changed;
  return store.setObject(PlistValue(std::move(records)), kErrorDictionaryArrayKey)
             ? ErrorSettingResult::Changed
             : ErrorSettingResult::WriteFailed;
}

}  // namespace

std::span<const ErrorCatalogueEntry> factoryErrorCatalogue() {
  return kFactoryCatalogue;
}

PlistArray factoryErrorDicitionaryArray() {
  PlistArray array;
  array.reserve(kFactoryCatalogue.size());
  for (const ErrorCatalogueEntry& e : kFactoryCatalogue) {
    PlistDict record;
    record.set(std::string(kErrorKey), PlistValue(std::string(e.errorKey)));
    record.set(std::string(kErrorNumber), PlistValue(std::string(e.errorNumber)));
    record.set(std::string(kErrorLevel), PlistValue(e.errorLevel));
    record.set(std::string(kErrorFix), PlistValue(e.errorFix));
    array.emplace_back(std::move(record));
  }
  return array;
}

int errorLevelForThisError(const VmkUserDefaults& store, std::string_view code) {
  const IndexedEntry* e = lookup(store, code);
  return e ? e->level : 0;
}
int errorLevelForThisError(std::string_view code) {
  return errorLevelForThisError(sharedVmkUserDefaults(), code);
}

UString errorNumberForThisError(const VmkUserDefaults& store, std::string_view code) {
  const IndexedEntry* e = lookup(store, code);
  return e ? e->numberU : UString();
}
UString errorNumberForThisError(std::string_view code) {
  return errorNumberForThisError(sharedVmkUserDefaults(), code);
}
std::string errorNumberUtf8ForThisError(const VmkUserDefaults& store, std::string_view code) {
  const IndexedEntry* e = lookup(store, code);
  return e ? e->number : std::string();
}

int errorFixForThisError(const VmkUserDefaults& store, std::string_view code) {
  const IndexedEntry* e = lookup(store, code);
  return e ? e->fix : kErrorFixNone;
}
int errorFixForThisError(std::string_view code) {
  return errorFixForThisError(sharedVmkUserDefaults(), code);
}

bool catalogueHasError(const VmkUserDefaults& store, std::string_view code) {
  return lookup(store, code) != nullptr;
}

ErrorSettingResult setErrorLevelForThisError(VmkUserDefaults& store, std::string_view code,
                                             int level) {
  if (level < kErrorLevelNotChecked || level > kErrorLevelError) {
    return ErrorSettingResult::InvalidValue;
  }
  return editRecords(store, code, [&](PlistDict& record, bool& changed) {
    if (differsFrom(record, kErrorLevel, level)) {
      record.set(std::string(kErrorLevel), PlistValue(level));
      changed = true;
    }
    return ErrorSettingResult::Changed;
  });
}

ErrorSettingResult setErrorFixForThisError(VmkUserDefaults& store, std::string_view code, int fix) {
  if (fix != kErrorFixDisabled && fix != kErrorFixEnabled) return ErrorSettingResult::InvalidValue;
  return editRecords(store, code, [&](PlistDict& record, bool& changed) {
    if (integerOf(record, kErrorFix) < 0) return ErrorSettingResult::FixLocked;
    if (differsFrom(record, kErrorFix, fix)) {
      record.set(std::string(kErrorFix), PlistValue(fix));
      changed = true;
    }
    return ErrorSettingResult::Changed;
  });
}

}  // namespace vmk
