// The dictionary browser's model: one dictionary file read as it is (not through
// VmkDictionary), its elements, and for the current element the tag-omission sentence, the
// attributes, the children and the parents, every list sorted without regard to case. The
// window shows these lists; the command line prints them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/Plist.h"
#include "support/Text.h"

namespace vmk {

// One attribute entry of the browser: the name, and the two fields after it (the declared type
// and the default), with whether it is required.
struct QkAttributeRow {
  UString entry;
  UString name;           // text before the first TAB (the whole entry without one)
  UString type;           // text between the first and the second TAB
  UString defaultValue;   // text after the second TAB
  bool required = false;  // the entry contains "#REQUIRED" in any case
};

class QkDictBrowser {
 public:
  // The process-wide browser, created on first use.
  static QkDictBrowser& sharedDictBrowser();
  QkDictBrowser() = default;

  // Shows the browser (its window comes to the front where there is one) on a dictionary
  // file; see setHtmlDictionaryFromPath.
  bool openHTMLDictionaryWithPath(const std::string& path);
  // How often the browser was opened.
  int openCount() const { return openCount_; }

  // Reads a dictionary file and shows its first element. False (logged "Failed to load HTML
  // Dictionaty from path: <path>") when it cannot be read; the lists are then empty.
  bool setHtmlDictionaryFromPath(const std::string& path);

  const std::optional<PlistDict>& htmlDictionary() const { return htmlDictionary_; }
  // The file name without folder and extension.
  const UString& title() const { return title_; }
  UString doctypeName() const;
  // "SystemIdentifier"; absent when the file has none.
  std::optional<UString> systemIdentifier() const;

  // The element names, sorted without regard to case.
  std::vector<UString> elementNames() const;
  // The row of an element (exact name) in elementNames(), or absent.
  std::optional<size_t> indexOfElement(UStringView name) const;

  const UString& currentElement() const { return currentElement_; }
  void setCurrentElement(UStringView name);
  // Makes the named element current when it is in the list; false (nothing changes) otherwise.
  bool selectElement(UStringView name);

  // The title of the element group: "<NAME>".
  UString elementBoxTitle() const;
  // The tag-omission sentence of the current element (localized).
  UString startAndEndTagText() const;
  std::vector<QkAttributeRow> attributeRows() const;
  std::vector<UString> childElements() const;
  std::vector<UString> parentElements() const;

  // Splits an attribute entry as the browser shows it.
  static QkAttributeRow attributeRowForEntry(UStringView entry);

 private:
  const PlistDict* currentRecord() const;
  std::vector<UString> sortedStrings(std::string_view key) const;

  std::optional<PlistDict> htmlDictionary_;
  UString title_;
  UString currentElement_;
  int openCount_ = 0;
};

}  // namespace vmk
