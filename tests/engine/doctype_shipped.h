// The dictionaries made from the W3C DTDs, installed into a private data folder for one test
// suite, and a few helpers to run the prologue and charset checks on a document.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "TestSupport.h"
#include "dictionary/DictionaryFolder.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::test {

// A test suite whose tests see the shipped dictionaries as the installed ones.
class ShippedDictionariesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velumark-doctype-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    env_.emplace();
    env_->set("XDG_DATA_HOME", root_);
    env_->set("VELUMARK_RESOURCE_DIR", std::string(VELUMARK_BINARY_DIR) + "/share/velumark");
    initDictionaries();
  }
  static void TearDownTestSuite() {
    env_.reset();
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
  static inline std::string root_;
  static inline std::optional<::vmk::testing::ScopedEnv> env_;
};

}  // namespace vmk::test
