// The dictionaries made from the W3C DTDs, installed into a private data folder for one test
// suite, and a few helpers to run the prologue and charset checks on a document.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "dictionary/DictionaryFolder.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::test {

// A test suite whose tests see the shipped dictionaries as the installed ones.
class ShippedDictionariesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    savedData_ = saved("XDG_DATA_HOME");
    savedResources_ = saved("VELUMARK_RESOURCE_DIR");
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velumark-doctype-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    setenv("XDG_DATA_HOME", root_.c_str(), 1);
    setenv("VELUMARK_RESOURCE_DIR", (std::string(VELUMARK_BINARY_DIR) + "/share/velumark").c_str(),
           1);
    initDictionaries();
  }
  static void TearDownTestSuite() {
    restore("XDG_DATA_HOME", savedData_);
    restore("VELUMARK_RESOURCE_DIR", savedResources_);
    initDictionaries();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  // Settings changed by a test are put back to their factory values.
  void TearDown() override {
    VmkUserDefaults& defaults = sharedVmkUserDefaults();
    defaults.removeObjectForKey("Vmk_FollowsDoctype");
    defaults.removeObjectForKey("Vmk_DefaultHtmlDictionary");
  }

  // A checker holding a document's text, before any check ran.
  static std::unique_ptr<VmkHTMLChecker> checkerFor(HeadlessDocument& document) {
    auto checker = VmkHTMLChecker::initOneMore();
    checker->initialize();
    checker->setSourceDocument(&document);
    checker->setSourceString(document.textStorage().string());
    checker->htmlEncoding = document.openNSEncoding();
    return checker;
  }

 private:
  static std::optional<std::string> saved(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }

  static inline std::string root_;
  static inline std::optional<std::string> savedData_;
  static inline std::optional<std::string> savedResources_;
};

}  // namespace vmk::test
