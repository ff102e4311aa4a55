#include "cli/CliSession.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <set>

#include "engine/VmkHTMLChecker.h"
#include "host/Platform.h"
#include "host/ScriptCommand.h"
#include "support/Paths.h"

namespace vmk::cli {

CliSession::CliSession() : principal_(&controller_) {
  setPlatform(&platform_);
  // The command line is the headless host's scripting interface: every command is a script
  // command.
  setStartedByScriptCommand(true);
  principal_.awakeFromNib();
  controller_.setCloseListener(
      [this](HeadlessDocument& document) { principal_.documentDidClosed(document); });
}

CliSession::~CliSession() {
  controller_.closeAll();
  setPlatform(nullptr);
}

HeadlessDocument* CliSession::openDocument(const std::string& path,
                                           const std::optional<Encoding>& encoding,
                                           std::string* reason) {
  std::string error;
  HeadlessDocument* document = nullptr;
  if (path == "-") {
    // Standard input: a document named "-", read whole before it is checked.
    std::optional<std::string> bytes = readStandardInput(controller_.maximumDocumentSize(), &error);
    if (!bytes) {
      if (reason) *reason = error;
      return nullptr;
    }
    document = controller_.addDocument(HeadlessDocument::fromBytes(*bytes, path, encoding));
  } else {
    document = controller_.openFile(path, encoding, &error);
  }
  if (!document) {
    // The controller's message names the path; keep only the reason after it.
    const size_t cut = error.rfind(": ");
    if (reason) *reason = cut == std::string::npos ? error : error.substr(cut + 2);
    return nullptr;
  }
  document->setEditListener([this](HostDocument& edited, Range range, int64_t length) {
    principal_.documentDidEdited(edited, range, length);
  });
  return document;
}

namespace {
// The lines said in this process (one command runs per process).
std::set<std::string>& saidDictionaryProblems() {
  static std::set<std::string> said;
  return said;
}
}  // namespace

bool CliSession::reportDictionaryLoadProblems() {
  return reportLastRunDictionaryLoadProblems();
}

bool CliSession::reportLastRunDictionaryLoadProblems() {
  for (const DictionaryLoadProblem& problem : sharedHTMLChecker().dictionaryLoadProblems()) {
    std::string line = "cannot load dictionary '" + toUtf8(problem.name) + "' from '" +
                       problem.path + "': " + problem.reason;
    if (saidDictionaryProblems().insert(line).second) printProblem(line);
  }
  return !saidDictionaryProblems().empty();
}

void printProblem(std::string_view message) {
  std::cout.flush();
  std::cerr << "velumark: " << message << '\n';
}

Output::Output() {
  buffer_.reserve(kFlushSize * 2);
}

Output::Output(std::string path) : path_(std::move(path)) {}

Output::Output(StandardError) : stream_(stderr) {}

void Output::write(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream_);
}

void Output::flush() {
  write(buffer_);
  buffer_.clear();
}

bool Output::finish(std::string* error) {
  if (!path_) {
    flush();
    std::fflush(stream_);
    return true;
  }
  return writeFileAtomically(*path_, buffer_, error);
}

bool colourWanted(const std::string& mode) {
  if (mode == "always") return true;
  if (mode == "never") return false;
  const char* noColour = std::getenv("NO_COLOR");
  if (noColour && *noColour) return false;
  return ::isatty(STDOUT_FILENO) == 1;
}

Styles::Styles(bool on)
    : bold(on ? "\x1b[1m" : ""),
      red(on ? "\x1b[1;31m" : ""),
      yellow(on ? "\x1b[1;33m" : ""),
      dim(on ? "\x1b[2m" : ""),
      reset(on ? "\x1b[0m" : "") {}

}  // namespace vmk::cli
