// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/Paths.h"

namespace vmk::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vmk-host-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes a file in the folder and answers its path.
  std::string write(std::string_view name, std::string_view bytes) const {
    std::string target = file(name);
    writeFileAtomically(target, bytes);
    return target;
  }
  std::string read(std::string_view name) const {
    return readFileContents(file(name)).value_or("<unreadable>");
  }

 private:
  std::string path_;
};

}  // namespace vmk::testing
