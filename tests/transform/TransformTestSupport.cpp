#include "transform/TransformTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "dictionary/DictionaryFolder.h"
#include "engine/LinkVocabulary.h"
#include "host/Platform.h"
#include "settings/VmkUserDefaults.h"
#include "transform/Beautifier.h"
#include "transform/EntityReferenceCommands.h"
#include "transform/Minimizer.h"

namespace vmk::test {

void TransformTest::SetUp() {
  static int counter = 0;
  root_ = std::filesystem::temp_directory_path() /
          ("velumark-transform-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(root_);
  ::setenv("HOME", root_.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
  VmkUserDefaults::resetSharedForTesting();
  sharedVmkUserDefaults().setWritesSettingsFile(false);
  createVelumarkXSupportDirectory();
  initDictionaries();
  initSpecialArrays();
  setPlatform(&platform_);
  checker_ = VmkHTMLChecker::initOneMore();
}

void TransformTest::TearDown() {
  checker_.reset();
  documents_.clear();
  setPlatform(nullptr);
  VmkUserDefaults::resetSharedForTesting();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

HeadlessDocument& TransformTest::open(const UString& text) {
  documents_.push_back(std::make_unique<HeadlessDocument>(text));
  return *documents_.back();
}

void TransformTest::set(const std::string& key, const std::string& value) {
  VmkUserDefaults& defaults = sharedVmkUserDefaults();
  const PlistValue* factory = defaults.factoryObjectForKey(key);
  ASSERT_NE(factory, nullptr) << key;
  if (factory->isBool()) {
    defaults.changeBoolValue(value == "true", key);
  } else if (factory->isInteger()) {
    defaults.changeIntValue(std::stoll(value), key);
  } else if (factory->isReal()) {
    defaults.changeFloatValue(std::stod(value), key);
  } else {
    PlistArray names;
    size_t start = 0;
    while (start < value.size()) {
      size_t space = value.find(' ', start);
      if (space == std::string::npos) space = value.size();
      if (space > start) names.push_back(PlistValue(value.substr(start, space - start)));
      start = space + 1;
    }
    defaults.changeObject(PlistValue(std::move(names)), key);
  }
}

std::string TransformTest::beautified(const UString& text, bool whole,
                                      std::optional<Range> selection) {
  HeadlessDocument& document = open(text);
  if (selection) document.setSelectedRange(*selection, false);
  beautifyHTMLForDocument(document, whole, *checker_);
  return u8(document.text());
}

std::string TransformTest::minimized(const UString& text) {
  HeadlessDocument& document = open(text);
  minimizeHTMLForDocument(document, false, *checker_);
  return u8(document.text());
}

std::string TransformTest::smartEntities(const UString& text, std::optional<Range> selection) {
  HeadlessDocument& document = open(text);
  if (selection) document.setSelectedRange(*selection, false);
  toSmartEntityReferenceFor(document, *checker_);
  return u8(document.text());
}

std::vector<std::string> TransformTest::errorCodesOf(const UString& text) {
  HeadlessDocument document(text);
  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  checker->validateHTMLForDocument(document, false, false);
  std::set<std::string> codes;
  for (const auto& error : checker->errorLocations()) codes.insert(error->errorCode());
  return std::vector<std::string>(codes.begin(), codes.end());
}

}  // namespace vmk::test
