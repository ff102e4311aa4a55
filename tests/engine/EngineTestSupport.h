// Helpers of the engine tests: a private settings and data folder, small in-memory
// dictionaries, and readable views of a checker's tag and error lists.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"
#include "engine/VmkTagLocation.h"

namespace vmk::test {

// One element of a test dictionary: its name, its "TypeString" ("- -", "- O", "O O", "XML")
// and its child list ("EMPTY" first for an empty element, "CDATA" for raw text).
struct ElementSpec {
  std::string name;
  std::string type;
  std::vector<std::string> children;
};

std::unique_ptr<VmkDictionary> makeDictionary(const std::vector<ElementSpec>& elements,
                                              const std::string& displayName = "Test HTML");
// A small HTML dictionary (upper-case names) and its XHTML twin (lower case, type "XML").
std::vector<ElementSpec> htmlElements();
std::vector<ElementSpec> xhtmlElements();
// Writes a dictionary file into the private dictionaries folder.
void installDictionary(const std::vector<ElementSpec>& elements, const std::string& displayName);

// A fresh checker over a text, with a dictionary (or none), scanned and optionally walked.
std::unique_ptr<VmkHTMLChecker> scanText(const std::u16string& text,
                                         std::unique_ptr<VmkDictionary> dictionary,
                                         bool walk = true);
std::unique_ptr<VmkHTMLChecker> scanHTML(const std::u16string& text, bool walk = true);
std::unique_ptr<VmkHTMLChecker> scanXHTML(const std::u16string& text, bool walk = true);

// "NAME" per entry, or "NAME@loc+len" with ranges.
std::vector<std::string> entryNames(const VmkHTMLChecker& checker);
std::vector<std::string> entriesWithRanges(const VmkHTMLChecker& checker);
// "Code@loc+len" per error, with ":sub1,sub2" when there are substrings.
std::vector<std::string> errorList(const VmkHTMLChecker& checker);
// Only the codes.
std::vector<std::string> errorCodes(const VmkHTMLChecker& checker);
// The text of an entry's range.
std::string entryText(const VmkHTMLChecker& checker, size_t index);

}  // namespace vmk::test
