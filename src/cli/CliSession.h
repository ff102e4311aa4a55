// One run of the velumark command: the headless host (platform services, document controller),
// the principal woken on it, and the output helpers every subcommand shares.
#pragma once

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "host/headless/HeadlessDocumentController.h"
#include "host/headless/HeadlessPlatform.h"
#include "plugin/QkChecker.h"

namespace vmk::cli {

// Exit statuses of the command.
inline constexpr int kExitClean = 0;
inline constexpr int kExitErrorsFound = 1;
inline constexpr int kExitUsage = 2;

class CliSession {
 public:
  // Installs the headless platform, wakes the principal (support folder, dictionaries installed
  // on first use, tables) and wires the controller's close events to it.
  CliSession();
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  HeadlessPlatform& platform() { return platform_; }
  HeadlessDocumentController& controller() { return controller_; }
  QkChecker& principal() { return principal_; }

  // Opens a document ("-": standard input) whose edits are reported to the principal. Only
  // files, pipes and standard input are read, of at most maximumDocumentSize() bytes. nullptr
  // when the file cannot be read or is not read; *reason then says why (without the path).
  HeadlessDocument* openDocument(const std::string& path, const std::optional<Encoding>& encoding,
                                 std::string* reason);
  // After a check: says on standard error which dictionary files the shared checker's last run
  // needed and could not load ("velumark: cannot load dictionary 'NAME' from 'PATH': REASON"),
  // each once per session. True when any were met in this session so far (the command then
  // exits with kExitUsage).
  bool reportDictionaryLoadProblems();
  // The same for what the last run met, asked by main() once the command has run, so that every
  // command that runs the engine says so and exits with kExitUsage; lines already said are not
  // said again.
  static bool reportLastRunDictionaryLoadProblems();
  void setMaximumDocumentSize(uint64_t bytes) { controller_.setMaximumDocumentSize(bytes); }
  uint64_t maximumDocumentSize() const { return controller_.maximumDocumentSize(); }

 private:
  HeadlessPlatform platform_;
  HeadlessDocumentController controller_;
  QkChecker principal_;
};

// "velumark: <message>" on standard error.
void printProblem(std::string_view message);

// A text sink: standard output in large blocks, or a buffer written to a file at the end.
class Output {
 public:
  // To standard output.
  Output();
  // Collected, to be written atomically to `path` by finish().
  explicit Output(std::string path);
  // To standard error.
  struct StandardError {};
  explicit Output(StandardError);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void put(std::string_view text) {
    if (!path_ && text.size() >= kFlushSize) {
      flush();
      write(text);
      return;
    }
    buffer_ += text;
    if (!path_ && buffer_.size() >= kFlushSize) flush();
  }
  void put(char c) { buffer_ += c; }
  Output& operator<<(std::string_view text) {
    put(text);
    return *this;
  }
  // Writes what is left. False (with *error) when the output file could not be written.
  bool finish(std::string* error);
  bool toFile() const { return path_.has_value(); }

 private:
  static constexpr size_t kFlushSize = 1 << 16;
  void flush();
  void write(std::string_view text);
  std::FILE* stream_ = stdout;
  std::optional<std::string> path_;
  std::string buffer_;
};

// Whether to colour standard output: "auto" (a terminal and NO_COLOR unset or empty),
// "always" or "never".
bool colourWanted(const std::string& mode);

// ANSI styles (empty strings when colour is off).
struct Styles {
  explicit Styles(bool on);
  std::string_view bold, red, yellow, dim, reset;
};

}  // namespace vmk::cli
