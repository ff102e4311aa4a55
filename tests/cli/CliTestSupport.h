// What the command's end-to-end tests share: the built velumark run in a private home, with its
// exit status and both outputs captured, and a folder of the test's own for the files it writes.
#pragma once

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "support/Paths.h"

namespace vmk::testing {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
  // Standard output read as JSON (a discarded value when it is not).
  nlohmann::json answer() const { return nlohmann::json::parse(out, nullptr, false); }
};

// `text` as one word of a POSIX shell command.
inline std::string shellQuoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.path().empty()) << "no temporary folder"; }

  // Runs velumark with the arguments (each quoted) in `workingFolder_`, hermetically: home,
  // settings and data in the test's folder, no colour variable, no proxy. `prefix` stands
  // before the program (NAME=value words, or a command that runs it as "$0" "$@"); `input` is
  // a shell redirection of standard input ("< file", "<&-"), none keeps the test's own.
  RunResult run(const std::vector<std::string>& args, const std::string& prefix = "",
                const std::string& input = "") {
    std::string command = "cd " + shellQuoted(workingFolder_) +
                          " && env -u NO_COLOR -u http_proxy -u https_proxy -u HTTPS_PROXY "
                          "-u ALL_PROXY -u all_proxy NO_PROXY='*' HOME=" +
                          shellQuoted(root_.string()) +
                          " XDG_CONFIG_HOME=" + shellQuoted((root_ / "config").string()) +
                          " XDG_DATA_HOME=" + shellQuoted((root_ / "data").string()) + " " +
                          prefix + " " +
                          shellQuoted(std::string(VELUMARK_BINARY_DIR) + "/bin/velumark");
    for (const std::string& arg : args) command += " " + shellQuoted(arg);
    command += " " + input + " >" + shellQuoted((root_ / "stdout").string()) + " 2>" +
               shellQuoted((root_ / "stderr").string());
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile((root_ / "stdout").string());
    result.err = readFile((root_ / "stderr").string());
    return result;
  }

  // Writes a file below the test's folder (making the folders on the way) and answers its path.
  std::string writeFile(const std::string& name, const std::string& content) {
    const std::filesystem::path path = root_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  // The file's bytes, empty when it cannot be read.
  static std::string readFile(const std::string& path) {
    return readFileContents(path).value_or("");
  }

  TempFolder folder_;
  const std::filesystem::path root_{folder_.path()};
  // Relative paths of the tests' data name files of the source tree.
  std::string workingFolder_ = VELUMARK_SOURCE_DIR;
};

}  // namespace vmk::testing
