#include "RobustnessSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dictionary/DictionaryFolder.h"
#include "engine/VmkHTMLChecker.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"
#include "support/Paths.h"

namespace fs = std::filesystem;

namespace vmk::robustness {
namespace {

std::optional<std::string> getEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void restoreEnv(const char* name, const std::optional<std::string>& value) {
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "vmk-robust-XXXXXX").string();
  path_ = mkdtemp(pattern.data()) ? pattern : std::string();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

PrivateHome::PrivateHome()
    : oldConfig_(getEnv("XDG_CONFIG_HOME")), oldData_(getEnv("XDG_DATA_HOME")) {
  setenv("XDG_CONFIG_HOME", folder_.file("config").c_str(), 1);
  setenv("XDG_DATA_HOME", folder_.file("data").c_str(), 1);
  VmkUserDefaults::resetSharedForTesting();
  initDictionaries();
}

PrivateHome::~PrivateHome() {
  restoreEnv("XDG_CONFIG_HOME", oldConfig_);
  restoreEnv("XDG_DATA_HOME", oldData_);
  VmkUserDefaults::resetSharedForTesting();
  initDictionaries();
}

std::string PrivateHome::settingsFile() const {
  return VmkUserDefaults::defaultSettingsFilePath();
}

size_t RunOutcome::errorCount() const {
  return checker->errorLocations().size();
}

bool RunOutcome::hasError(std::string_view code) const {
  for (const auto& location : checker->errorLocations())
    if (location->errorCode() == code) return true;
  return false;
}

bool RunOutcome::rangesInsideText() const {
  const uint64_t length = checker->sourceString().size();
  for (const auto& location : checker->errorLocations()) {
    const Range range = location->errorRange();
    if (range.found() && uint64_t(range.location) + range.length > length) return false;
  }
  for (const auto& tag : checker->tagLocations()) {
    const Range range = tag->tagRange();
    if (uint64_t(range.location) + range.length > length) return false;
  }
  return true;
}

RunOutcome validate(HeadlessDocument& document) {
  RunOutcome outcome;
  outcome.checker = VmkHTMLChecker::initOneMore();
  Stopwatch watch;
  outcome.checker->validateHTMLForDocument(document, false, false);
  outcome.seconds = watch.seconds();
  return outcome;
}

RunOutcome validateText(UString text) {
  HeadlessDocument document(std::move(text), std::string("hostile.html"));
  return validate(document);
}

FileSizeLimit::FileSizeLimit(size_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  oldSoft_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = oldSoft_;
  setrlimit(RLIMIT_FSIZE, &limit);
}

std::string programPath(const std::string& name) {
  const std::string path = std::string(VELUMARK_BINARY_DIR) + "/bin/" + name;
  return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

ProgramResult runProgram(const std::string& name, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, std::optional<size_t> fileSizeLimit) {
  ProgramResult result;
  const std::string path = programPath(name);
  if (path.empty()) return result;
  TempFolder outputs;
  const std::string outPath = outputs.file("out"), errPath = outputs.file("err");

  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0) _exit(126);
    dup2(out, 1);
    dup2(err, 2);
    for (const std::string& assignment : env) putenv(const_cast<char*>(assignment.c_str()));
    if (fileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{};
      getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = *fileSizeLimit;
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, std::string_view bytes) {
  writeFileAtomically(path, bytes);
}

std::vector<std::string> folderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(path, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string repeat(std::string_view text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

UString repeat(UStringView text, size_t times) {
  UString out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace vmk::robustness
