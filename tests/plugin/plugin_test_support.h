// A private home, settings and data folder for the principal's tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "dictionary/DictionaryFolder.h"
#include "settings/VmkUserDefaults.h"

namespace vmk::testing {

class PrivateFolders {
 public:
  PrivateFolders() {
    static int counter = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("velumark-plugin-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_);
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    VmkUserDefaults::resetSharedForTesting();
  }
  ~PrivateFolders() {
    VmkUserDefaults::resetSharedForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

}  // namespace vmk::testing
