// Helpers of the robustness tests: a private settings and data folder, validation runs over
// generated documents, timing, a lowered file-size limit (a disk that fills up) and running
// the command-line programs.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/Text.h"

namespace vmk {
class HeadlessDocument;
class VmkHTMLChecker;
}  // namespace vmk

namespace vmk::robustness {

// A temporary folder removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a fresh folder for the life of the object, with
// the shipped dictionaries installed and a new shared settings store; the old values come back
// afterwards.
class PrivateHome {
 public:
  PrivateHome();
  ~PrivateHome();
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;
  const TempFolder& folder() const { return folder_; }
  std::string settingsFile() const;

 private:
  TempFolder folder_;
  std::optional<std::string> oldConfig_, oldData_;
};

// The outcome of one silent validation run.
struct RunOutcome {
  std::unique_ptr<VmkHTMLChecker> checker;
  double seconds = 0;
  size_t errorCount() const;
  bool hasError(std::string_view code) const;
  // Every error range and tag range lies inside the checked text.
  bool rangesInsideText() const;
};

// A silent run (display and sound off) of a fresh checker over the document.
RunOutcome validate(HeadlessDocument& document);
// The same over a text (a document named "hostile.html").
RunOutcome validateText(UString text);

// Seconds since construction.
class Stopwatch {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Lowers the soft file-size limit of the process to `bytes` while it lives: a write that
// would make a file larger fails with EFBIG, as on a full disk (SIGXFSZ is ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(size_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long long oldSoft_ = 0;
  bool restored_ = false;
};

// A program's exit status and output.
struct ProgramResult {
  int status = -1;  // exit status; 128 + signal when killed by one; -1 when it did not start
  std::string out;
  std::string err;
};
// Runs a program of the build (bin/<name>) with arguments, with the current environment
// plus `env` ("NAME=value"), and optionally a file-size limit in bytes.
ProgramResult runProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         std::optional<size_t> fileSizeLimit = std::nullopt);
// The path of a program of the build; empty when it was not built.
std::string programPath(const std::string& name);

// Whole-file helpers for the tests.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
// The names in a folder (no "." entries skipped: temporary files must show up).
std::vector<std::string> folderEntries(const std::string& path);

// Repeats a text.
std::string repeat(std::string_view text, size_t times);
UString repeat(UStringView text, size_t times);

}  // namespace vmk::robustness
