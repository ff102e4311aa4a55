#include "EngineTestSupport.h"

#include <cstdlib>
#include <filesystem>

#include "dictionary/DictionaryFolder.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"
#include "support/Plist.h"

namespace vmk::test {
namespace {

// Every test program run gets its own settings and data folders.
class PrivateFolders : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velumark-engine-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    std::filesystem::create_directories(root_ + "/data/velumark/dictionaries");
    VmkUserDefaults::resetSharedForTesting();
  }
  void TearDown() override {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::string root_;
};

[[maybe_unused]] ::testing::Environment* const gPrivateFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateFolders);

PlistValue dictionaryTree(const std::vector<ElementSpec>& elements) {
  PlistDict table;
  for (const ElementSpec& e : elements) {
    PlistDict record;
    record.set("TypeString", e.type);
    PlistArray children;
    for (const std::string& c : e.children) children.push_back(c);
    record.set("ChildElements", children);
    record.set("ParentElements", PlistArray{});
    table.append(e.name, record);
  }
  PlistDict root;
  root.set("DoctypeName", "-//Velumark//DTD Test//EN");
  root.set("DtdDictionary", table);
  return root;
}

std::string utf8(UStringView text) {
  return toUtf8(text);
}

}  // namespace

std::unique_ptr<VmkDictionary> makeDictionary(const std::vector<ElementSpec>& elements,
                                              const std::string& displayName) {
  return VmkDictionary::fromPlist(dictionaryTree(elements), toUtf16(displayName));
}

std::vector<ElementSpec> htmlElements() {
  return {
      {"HTML", "O O", {"HEAD", "BODY"}},
      {"BODY", "O O", {"#PCDATA", "P", "DIV", "UL", "TABLE", "BR", "IMG", "A", "B", "SCRIPT"}},
      {"HEAD", "O O", {"TITLE", "SCRIPT", "STYLE"}},
      {"TITLE", "- -", {"#PCDATA"}},
      {"P", "- O", {"#PCDATA", "A", "B", "BR", "IMG"}},
      {"DIV", "- -", {"#PCDATA", "P", "DIV", "UL", "A", "B", "BR", "IMG", "SCRIPT"}},
      {"UL", "- -", {"LI"}},
      {"LI", "- O", {"#PCDATA", "A", "B", "UL", "P"}},
      {"A", "- -", {"#PCDATA", "B", "IMG", "BR"}},
      {"B", "- -", {"#PCDATA", "A", "B", "BR"}},
      {"BR", "- O", {"EMPTY"}},
      {"IMG", "- O", {"EMPTY"}},
      {"SCRIPT", "- -", {"CDATA"}},
      {"STYLE", "- -", {"CDATA"}},
      {"TABLE", "- -", {"TR"}},
      {"TR", "- O", {"TD"}},
      {"TD", "- O", {"#PCDATA", "A", "B"}},
      {"TEXTAREA", "- -", {"#PCDATA"}},
  };
}

std::vector<ElementSpec> xhtmlElements() {
  std::vector<ElementSpec> elements = htmlElements();
  for (ElementSpec& e : elements) {
    e.name = toUtf8(asciiLowercase(toUtf16(e.name)));
    e.type = "XML";
    for (std::string& c : e.children)
      if (c != "EMPTY" && c != "CDATA" && c != "#PCDATA") c = toUtf8(asciiLowercase(toUtf16(c)));
  }
  return elements;
}

void installDictionary(const std::vector<ElementSpec>& elements, const std::string& displayName) {
  std::string path = dictionaryPathForName(toUtf16(displayName));
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(writePlistFile(path, dictionaryTree(elements)));
}

std::unique_ptr<VmkHTMLChecker> scanText(const std::u16string& text,
                                         std::unique_ptr<VmkDictionary> dictionary, bool walk) {
  auto checker = VmkHTMLChecker::initOneMore();
  checker->initialize();
  checker->setSourceString(text);
  checker->isXHTML = dictionary && dictionary->isXML();
  checker->setHtmlDictionary(std::move(dictionary));
  checker->makeTagLocationsArray();
  if (walk) checker->makeElementFiliation();
  return checker;
}

std::unique_ptr<VmkHTMLChecker> scanHTML(const std::u16string& text, bool walk) {
  return scanText(text, makeDictionary(htmlElements()), walk);
}

std::unique_ptr<VmkHTMLChecker> scanXHTML(const std::u16string& text, bool walk) {
  return scanText(text, makeDictionary(xhtmlElements(), "Test XHTML"), walk);
}

std::vector<std::string> entryNames(const VmkHTMLChecker& checker) {
  std::vector<std::string> out;
  for (const auto& e : checker.tagLocations()) out.push_back(utf8(e->elementName()));
  return out;
}

std::vector<std::string> entriesWithRanges(const VmkHTMLChecker& checker) {
  std::vector<std::string> out;
  for (const auto& e : checker.tagLocations())
    out.push_back(utf8(e->elementName()) + "@" + std::to_string(e->tagRange().location) + "+" +
                  std::to_string(e->tagRange().length));
  return out;
}

std::vector<std::string> errorList(const VmkHTMLChecker& checker) {
  std::vector<std::string> out;
  for (const auto& e : checker.errorLocations()) {
    std::string s = e->errorCode() + "@" + std::to_string(e->errorRange().location) + "+" +
                    std::to_string(e->errorRange().length);
    if (e->subStrings()) {
      s += ":";
      for (size_t i = 0; i < e->subStrings()->size(); ++i)
        s += (i ? "," : "") + utf8((*e->subStrings())[i]);
    }
    out.push_back(s);
  }
  return out;
}

std::vector<std::string> errorCodes(const VmkHTMLChecker& checker) {
  std::vector<std::string> out;
  for (const auto& e : checker.errorLocations()) out.push_back(e->errorCode());
  return out;
}

std::string entryText(const VmkHTMLChecker& checker, size_t index) {
  return utf8(
      substringWithRange(checker.sourceString(), checker.tagLocations()[index]->tagRange()));
}

}  // namespace vmk::test
