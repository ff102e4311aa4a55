// Shared pieces of the settings tests: a private configuration folder per test and a minimal
// host document.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/HostDocument.h"
#include "settings/VmkUserDefaults.h"
#include "support/Digest.h"

namespace vmk::testing {

// Points XDG_CONFIG_HOME at a fresh temporary folder and drops the shared store, so that
// every test starts from factory settings.
class TempConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("velumark-settings-" + std::to_string(::getpid()) + "-" + info->test_suite_name() +
            "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    VmkUserDefaults::resetSharedForTesting();
  }
  void TearDown() override {
    VmkUserDefaults::resetSharedForTesting();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string settingsPath() const { return VmkUserDefaults::defaultSettingsFilePath(); }

  std::filesystem::path dir_;
};

class FakeTextStorage : public HostTextStorage {
 public:
  const UString& string() const override { return text; }
  void beginEditing() override {}
  void endEditing() override {}
  void replaceCharactersInRange(Range range, UStringView with) override {
    text.replace(range.location, range.length, with);
  }
  UString text;
};

class FakeDocument : public HostDocument {
 public:
  explicit FakeDocument(UString text = {}) { storage.text = std::move(text); }
  HostTextStorage& textStorage() override { return storage; }
  HostTextView* firstTextView() override { return nullptr; }
  Range selectedRange() const override { return {}; }
  void setSelectedRange(Range, bool) override {}
  void setSelectedRange(Range, bool, bool) override {}
  std::string md5DigestString() const override { return digestHex(UStringView(storage.text)); }
  Encoding openNSEncoding() const override { return Encoding::utf8(); }
  void setOpenNSEncoding(const Encoding&) override {}
  int openLineEndings() const override { return kLineEndingsLF; }
  void setTabWidth(double) override {}
  std::optional<std::string> fileName() const override { return std::nullopt; }
  std::optional<std::string> remoteURL() const override { return std::nullopt; }
  UString displayName() const override { return u"untitled"; }
  bool isRichText() const override { return false; }
  int revertDocumentType() const override { return kHTMLDocumentType; }
  void makeFirstResponder() override {}
  bool saveDocument(std::string*) override { return true; }

  FakeTextStorage storage;
};

}  // namespace vmk::testing
