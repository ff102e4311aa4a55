// A private settings folder for the result store tests, and small record helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "errors/VmkErrorLocation.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::testing {

// Points HOME and the XDG folders at a fresh temporary folder, and drops the shared settings
// store so that factory values apply.
class PrivateSettingsFolder {
 public:
  PrivateSettingsFolder() {
    root_ = std::filesystem::temp_directory_path() /
            ("velumark-results-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
    std::filesystem::create_directories(root_);
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    VmkUserDefaults::resetSharedForTesting();
  }
  ~PrivateSettingsFolder() {
    VmkUserDefaults::resetSharedForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path root_;
};

inline VmkErrorLocationRef record(HostDocument& document, std::string code, uint32_t location,
                                  uint32_t length, std::vector<UString> subStrings = {}) {
  std::optional<std::vector<UString>> subs;
  if (!subStrings.empty()) subs = std::move(subStrings);
  return VmkErrorLocation::create(std::move(code), Range(location, length), std::move(subs),
                                  ErrorParent(&document));
}

}  // namespace vmk::testing
