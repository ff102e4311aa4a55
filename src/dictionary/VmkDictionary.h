// One HTML dictionary: the element, nesting and attribute rules of one document type, read
// from a dictionary file (an XML property list) and indexed once when it is loaded.
//
// File layout (top level): "DoctypeName" (public identifier), optional "SystemIdentifier",
// "DtdDictionary" (element name -> record). A record holds "TypeString" ("- -", "- O", "O -",
// "O O" or "XML"), "ChildElements", "ParentElements" and optionally "Attributes" (entries of
// the form name TAB type TAB default).
//
// Every question answers from the index; missing keys and values of the wrong property-list
// kind answer negatively and never fail.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

class VmkAttributeValueContext;
class ContentAutomata;

// End-tag types of an element.
inline constexpr int kEndTagNotInDictionary = -1;
inline constexpr int kEndTagRequired = 0;
inline constexpr int kEndTagOmissible = 1;
inline constexpr int kEndTagEmpty = 2;

// One attribute entry of an element record, split once.
struct VmkAttributeEntry {
  UString entry;  // the entry as stored
  // Number of TABs found, capped at 2: 0 yields no part, 1 only the name, 2 all three.
  int tabCount = 0;
  UString name;          // text before the first TAB (empty when tabCount == 0)
  UString lowerName;     // lowercase(name)
  UString type;          // text between the first and the second TAB (tabCount == 2)
  UString defaultValue;  // text after the second TAB, further TABs included (tabCount == 2)
  // The typed character data test of the type field (see AttributeTypes.h), precomputed:
  // cdata is true when the type names CDATA; cdataKind is its parenthesised suffix, if any.
  bool cdata = false;
  std::optional<UString> cdataKind;

  // What a written value is checked against, worked out from the type and default fields
  // when the entry is split (see checkAttributeValueForEntries).
  enum class ValueRule : uint8_t {
    kNone,
    // Typed character data, by the kind after CDATA.
    kCharacter,
    kCharset,
    kCharsets,
    kNumberKind,
    kLength,  // "Pixels" and "Length"
    kCoords,
    kMultiLength,
    kMultiLengths,
    kUrl,  // "URL" and "URI"
    kUriList,
    kColor,
    // Declared types.
    kName,  // NAME and ID
    kNmtoken,
    kNmtokens,
    // The same in a dictionary of an XML document type, by the XML name rules.
    kXmlName,
    kXmlNmtoken,
    kXmlNmtokens,
    kNumber,
    kIdref,
    kIdrefs,
    kEnumeration,
  };
  ValueRule valueRule = ValueRule::kNone;
  std::optional<UString> fixedValue;  // the value of a "#FIXED" default
  bool omissible = false;             // may be written without a value
  std::vector<UString> enumeration;   // kEnumeration: the allowed values in lower case

  bool hasName() const { return tabCount >= 1; }
  bool hasTypeAndDefault() const { return tabCount >= 2; }
};

// One element record of the element table.
struct VmkElementRecord {
  UString name;                          // the key, as stored
  const PlistDict* raw = nullptr;        // the record in the raw tree (nullptr: not a dictionary)
  std::optional<UString> typeString;     // "TypeString" when it is a string
  bool hasChildElements = false;         // "ChildElements" is present and an array
  std::vector<UString> childElements;    // its string members, in order
  std::unordered_set<UString> childSet;  // the same, for membership tests
  bool holdsCDATA = false;               // "CDATA" is one of them
  bool hasParentElements = false;
  std::vector<UString> parentElements;
  bool hasAttributes = false;                 // "Attributes" is present and an array
  std::vector<VmkAttributeEntry> attributes;  // its string members, in order
  // Names (text before the first TAB) of the entries that have at least one TAB.
  std::unordered_set<UString> attributeNames;
  // Entry indices by lower-cased attribute name, each list in entry order.
  std::unordered_map<UString, std::vector<size_t>> attributesByLowerName;
  // Names of the entries whose default is exactly "#REQUIRED", in entry order.
  std::vector<UString> requiredAttributes;
  int endTagType = kEndTagOmissible;
  // Names that the content of an "O O" child element of this one lists: allowed here because
  // that container may be omitted.
  std::unordered_set<UString> childrenThroughOmissibleContainers;
  // "ContentModel" when it is a string; "Inclusions" and "Exclusions" (their string members)
  // when they are arrays. Dictionaries made before these keys were written have none.
  std::optional<UString> contentModel;
  std::vector<UString> inclusions;
  std::vector<UString> exclusions;
};

// Why the dictionary file a look-up needed could not be used.
struct DictionaryLoadProblem {
  UString name;        // the display name
  std::string path;    // the file
  std::string reason;  // what is wrong with it
};

class VmkDictionary {
 public:
  // Builds a dictionary from a whole file tree as read, with the display name it goes by.
  VmkDictionary(PlistDict tree, UString displayName);
  // nullptr when the value is not a key/value tree.
  static std::unique_ptr<VmkDictionary> fromPlist(PlistValue tree, UString displayName);
  // Reads a dictionary file; nullptr (with *reason) when it cannot be read or is not a
  // complete property list of the shape checkDictionaryTree describes.
  static std::unique_ptr<VmkDictionary> fromFile(const std::string& path, UString displayName,
                                                 std::string* reason = nullptr);
  // The same for a file's bytes.
  static std::unique_ptr<VmkDictionary> fromFileBytes(std::string_view bytes, UString displayName,
                                                      std::string* reason = nullptr);
  // Why a tree read from a file is not a dictionary ("" when it is one): the root is a
  // key/value tree; "DoctypeName", "SystemIdentifier" and "ApplicationName" are strings when
  // present; "DtdDictionary" is a non-empty key/value tree of element records, each with a
  // "TypeString" of "- -", "- O", "O -", "O O" or "XML" (all of one kind), "ChildElements" a
  // list of names, and, when present, "ParentElements" a list of names and "Attributes" a list
  // of entries. Other keys are left alone.
  static std::string checkDictionaryTree(const PlistValue& tree);

  // The first installed dictionary (in htmlDictionaryNames() order) whose "DoctypeName" equals
  // the public identifier without regard to case; nullptr when none does. Files are read
  // afresh on every call; unreadable files are skipped.
  static std::unique_ptr<VmkDictionary> initWithDoctypeName(UStringView publicId);
  // The installed dictionary of that display name; nullptr when it cannot be read.
  static std::unique_ptr<VmkDictionary> initWithMenuName(UStringView displayName);

  // The same two look-ups answered from dictionaries kept for the rest of the process and
  // shared: a file is read and parsed again only when it changed on disk (another file, size
  // or modification time), so that checking many documents reads each dictionary once. Safe
  // from any thread.
  // A file that cannot be loaded is never used. When it is the one a look-up needed (for the
  // identifier: its bytes name it and no loadable file declares it; for the name: the file of
  // that name) *problem tells which and why; it is left alone otherwise.
  static std::shared_ptr<const VmkDictionary> sharedWithDoctypeName(
      UStringView publicId, DictionaryLoadProblem* problem = nullptr);
  static std::shared_ptr<const VmkDictionary> sharedWithMenuName(
      UStringView displayName, DictionaryLoadProblem* problem = nullptr);

  ~VmkDictionary();
  VmkDictionary(const VmkDictionary&) = delete;
  VmkDictionary& operator=(const VmkDictionary&) = delete;
  VmkDictionary(VmkDictionary&&) = delete;
  VmkDictionary& operator=(VmkDictionary&&) = delete;

  const UString& displayName() const { return displayName_; }
  // "DoctypeName" / "SystemIdentifier" when present as strings.
  const std::optional<UString>& publicIdentifier() const { return publicIdentifier_; }
  const std::optional<UString>& systemIdentifier() const { return systemIdentifier_; }
  // <!DOCTYPE html PUBLIC "public" "system">, or the one-identifier form without a system
  // identifier; absent without a public identifier.
  std::optional<UString> doctypeTag() const;
  // True when the first record of the element table is of an XML DTD.
  bool isXML() const { return isXML_; }

  // Element name questions that take the name as given (no case folding).
  bool isExistElement(UStringView element) const { return elementRecord(element) != nullptr; }
  int endTagTypeForElement(UStringView element) const;
  bool isCDATAElement(UStringView element) const;

  // Questions that fold the element name to the dictionary's case first.
  // 1 allowed, 0 not allowed, -1 cannot tell.
  int isChildElement(UStringView child, UStringView parentElement) const;
  bool canContainAttribute(UStringView attribute, UStringView element) const;
  // The same for the element whose folded record is given (nullptr: not in the dictionary).
  bool canContainAttribute(UStringView attribute, const VmkElementRecord* record) const;
  // Names of the "#REQUIRED" attributes in entry order; absent when there are none.
  std::optional<std::vector<UString>> requiredAttributesForElement(UStringView element) const;

  // Judges one attribute written in a tag of the element against the element's attribute
  // entries (every entry of that name, in order). value is absent when the attribute is
  // written without "="; an empty value is a value. Answers the error code of the first
  // problem found, or absent. *rightValue (may be null) is reset and then receives the value
  // that the message and the repair use, for the codes that have one.
  std::optional<std::string_view> checkAttributeName(UStringView attributeName,
                                                     const std::optional<UStringView>& value,
                                                     UStringView element,
                                                     std::optional<UString>* rightValue,
                                                     const VmkAttributeValueContext& checker) const;

  // "element\tattribute" (both lower case) for every attribute whose type is character data
  // of kind URL, URI or UriList, in table and entry order (duplicates kept).
  const std::vector<UString>& linkableAttributeNameArray() const;

  // Splits an attribute entry: name before the first TAB; type before the next TAB; default
  // after it. Without a TAB no part is set; with one TAB only the name. Parts that are not
  // yielded are reset to absent. Any out-pointer may be null.
  static void extractAttributeData(UStringView entry, std::optional<UString>* name,
                                   std::optional<UString>* info1, std::optional<UString>* info2);
  // The same split as a record (tabCount tells which parts exist).
  static VmkAttributeEntry splitAttributeEntry(UStringView entry);

  // --- Read access for attribute value checks and the dictionary browser ---

  // Upper case for an SGML dictionary, lower case for an XML one.
  UString foldElementName(UStringView element) const;
  // The record of an element name taken as given; nullptr when there is none.
  const VmkElementRecord* elementRecord(UStringView element) const;
  // The record after folding the name to the dictionary's case.
  const VmkElementRecord* foldedElementRecord(UStringView element) const {
    return elementRecord(foldElementName(element));
  }
  // The automata of the elements' content models, made on first use and kept (a shared
  // dictionary may be asked from several threads).
  const ContentAutomata& contentAutomata() const;

  // All records in the order of the file.
  const std::vector<VmkElementRecord>& elementRecords() const { return records_; }
  // The whole file as read.
  const PlistDict& rawDictionary() const { return dictionary_; }

 private:
  void buildIndex();

  PlistDict dictionary_;
  UString displayName_;
  std::optional<UString> publicIdentifier_;
  std::optional<UString> systemIdentifier_;
  bool isXML_ = false;
  std::vector<VmkElementRecord> records_;
  // Keys view the names held by records_ (never reallocated after the build).
  std::unordered_map<UStringView, size_t> index_;
  // Made on first use; a shared dictionary may be asked from several threads.
  mutable std::once_flag linkableAttributesMade_;
  mutable std::vector<UString> linkableAttributes_;
  mutable std::once_flag contentAutomataMade_;
  mutable std::unique_ptr<ContentAutomata> contentAutomata_;
};

}  // namespace vmk
