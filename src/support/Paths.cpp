// Folders of the program and whole-file reading and writing.
#include "support/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#ifndef VELUMARK_INSTALL_PREFIX
#define VELUMARK_INSTALL_PREFIX "/usr/local"
#endif

namespace vmk {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string errnoText(int error) {
  return std::strerror(error);
}

std::string parentFolder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string executableFolder() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::string();
  return parentFolder(std::string(buffer.data(), size_t(n)));
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string homeDirectory() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string xdgConfigHome() {
  // Only an absolute path counts; a relative one is ignored as the XDG rules ask.
  std::string dir = environment("XDG_CONFIG_HOME");
  if (!dir.empty() && dir.front() == '/') return dir;
  return homeDirectory() + "/.config";
}

std::string xdgDataHome() {
  std::string dir = environment("XDG_DATA_HOME");
  if (!dir.empty() && dir.front() == '/') return dir;
  return homeDirectory() + "/.local/share";
}

std::string velumarkConfigDirectory() {
  return xdgConfigHome() + "/velumark";
}
std::string velumarkDataDirectory() {
  return xdgDataHome() + "/velumark";
}

std::string resourceDirectory() {
  std::string dir = environment("VELUMARK_RESOURCE_DIR");
  if (!dir.empty()) return dir;
  std::string exe = executableFolder();
  if (!exe.empty()) {
    std::string beside = exe + "/../share/velumark";
    if (isDirectory(beside)) return beside;
  }
  return VELUMARK_INSTALL_PREFIX "/share/velumark";
}

std::string resourcePath(std::string_view relative) {
  return resourceDirectory() + "/" + std::string(relative);
}

namespace {

// A descriptor of the regular file at `path` and its status, or -1 for anything else. The path
// is looked at before it is opened: opening a named pipe, even to close it at once, would let
// a writer waiting on it go on and then find no reader.
int openRegularFile(const std::string& path, struct stat& st) {
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::optional<std::string> readRegularFileStart(const std::string& path, size_t limit,
                                                uint64_t* sizeOut) {
  struct stat st {};
  const int fd = openRegularFile(path, st);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> start;
  std::string bytes(limit, '\0');
  const ssize_t got = ::read(fd, bytes.data(), limit);
  if (got >= 0) {
    bytes.resize(size_t(got));
    start = std::move(bytes);
    if (sizeOut) *sizeOut = uint64_t(st.st_size);
  }
  ::close(fd);
  return start;
}

namespace {

std::string sizeText(uint64_t bytes) {
  if (bytes >= (uint64_t(1) << 30) && bytes % (uint64_t(1) << 30) == 0)
    return std::to_string(bytes >> 30) + " GiB";
  if (bytes >= (uint64_t(1) << 20) && bytes % (uint64_t(1) << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

std::string tooLarge(uint64_t maxSize) {
  return "it is larger than " + sizeText(maxSize) + ", the most a document may have";
}

// Reads what is left of an open file, at most maxSize bytes (one more tells it is too large);
// closes it. *errorOut gets the reason alone.
std::optional<std::string> readOpenFile(int fd, const struct stat& st, uint64_t maxSize,
                                        std::string* errorOut) {
  auto failed = [&](std::string reason) -> std::optional<std::string> {
    ::close(fd);
    if (errorOut) *errorOut = std::move(reason);
    return std::nullopt;
  };
  if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > maxSize) return failed(tooLarge(maxSize));
  // The size the file has now is read straight into a buffer of that size; whatever follows (a
  // file that grew meanwhile, or one that tells no size) is read on in steps. (Large pages were
  // tried for large files: once other programs had used the memory, the kernel's compaction
  // for them cost far more than the page faults they saved.)
  std::string out;
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    out.reserve(size_t(st.st_size));
    out.resize(size_t(st.st_size));
  }
  size_t filled = 0;
  while (filled < out.size()) {
    const ssize_t n = ::read(fd, out.data() + filled, out.size() - filled);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed(errnoText(errno));
    }
    filled += size_t(n);
  }
  out.resize(filled);
  char buffer[65536];
  for (;;) {
    const uint64_t room = maxSize - std::min<uint64_t>(maxSize, out.size());
    // One byte past the room tells a file that is too large.
    const size_t want = room >= sizeof buffer ? sizeof buffer : size_t(room) + 1;
    const ssize_t n = ::read(fd, buffer, want);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed(errnoText(errno));
    }
    if (uint64_t(n) > room) return failed(tooLarge(maxSize));
    out.append(buffer, size_t(n));
  }
  ::close(fd);
  return out;
}

// Why a file of this kind is not read as a document ("" when it is read).
std::string notADocumentReason(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return errnoText(EISDIR);
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
    return "it is a device; only files, pipes and standard input are read";
  if (S_ISSOCK(st.st_mode)) return "it is a socket; only files, pipes and standard input are read";
  return std::string();
}

}  // namespace

std::optional<std::string> readFileContents(const std::string& path, std::string* errorOut) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errorOut) *errorOut = path + ": " + errnoText(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) st = {};
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    if (errorOut) *errorOut = path + ": " + errnoText(EISDIR);
    return std::nullopt;
  }
  std::string reason;
  std::optional<std::string> bytes =
      readOpenFile(fd, st, std::numeric_limits<uint64_t>::max(), &reason);
  if (!bytes && errorOut) *errorOut = path + ": " + reason;
  return bytes;
}

std::optional<std::string> readDocumentFile(const std::string& path, uint64_t maxSize,
                                            std::string* errorOut) {
  // Looked at before it is opened: opening a device may already do something.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errorOut) *errorOut = errnoText(errno);
    return std::nullopt;
  }
  if (std::string reason = notADocumentReason(st); !reason.empty()) {
    if (errorOut) *errorOut = std::move(reason);
    return std::nullopt;
  }
  if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > maxSize) {
    if (errorOut) *errorOut = tooLarge(maxSize);
    return std::nullopt;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errorOut) *errorOut = errnoText(errno);
    return std::nullopt;
  }
  // What was opened is what was looked at (not a file put in its place since).
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
    ::close(fd);
    if (errorOut) *errorOut = "it changed while it was being opened";
    return std::nullopt;
  }
  return readOpenFile(fd, opened, maxSize, errorOut);
}

std::optional<std::string> readStandardInput(uint64_t maxSize, std::string* errorOut) {
  struct stat st {};
  if (::fstat(STDIN_FILENO, &st) != 0) {
    if (errorOut) *errorOut = errno == EBADF ? "standard input is closed" : errnoText(errno);
    return std::nullopt;
  }
  // A terminal is a device too, but one a user types a document into; the null device gives
  // an empty one.
  struct stat null {};
  const bool isNull =
      S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && null.st_rdev == st.st_rdev;
  const bool terminal = S_ISCHR(st.st_mode) && ::isatty(STDIN_FILENO);
  if (!terminal && !isNull && !S_ISSOCK(st.st_mode)) {
    if (!notADocumentReason(st).empty()) {
      if (errorOut) *errorOut = "standard input is not a file, a pipe or a terminal";
      return std::nullopt;
    }
  }
  const int fd = ::dup(STDIN_FILENO);  // readOpenFile closes what it reads
  if (fd < 0) {
    if (errorOut) *errorOut = errnoText(errno);
    return std::nullopt;
  }
  return readOpenFile(fd, st, maxSize, errorOut);
}

bool readRegularFileInSteps(const std::string& path, size_t step,
                            const std::function<size_t(std::string_view, bool)>& consume,
                            uint64_t* sizeOut) {
  struct stat st {};
  const int fd = step == 0 ? -1 : openRegularFile(path, st);
  if (fd < 0) return false;
  if (sizeOut) *sizeOut = uint64_t(st.st_size);
  // A small file is read in one step (its end is found by a second read).
  step = std::max<size_t>(4096, size_t(std::min<uint64_t>(step, uint64_t(st.st_size) + 1)));
  std::string buffer(step, '\0');
  size_t held = 0;  // bytes at the start of the buffer not yet used
  bool atEnd = false;
  bool ok = true;
  while (ok) {
    // Fill the buffer, or up to the end of the file.
    while (!atEnd && held < step) {
      const ssize_t n = ::read(fd, buffer.data() + held, step - held);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) atEnd = true;
      held += size_t(n);
    }
    if (!ok) break;
    const size_t used = consume(std::string_view(buffer.data(), held), atEnd);
    if (used == kStopReading || used > held) {
      ok = false;
      break;
    }
    if (atEnd) {
      ok = used == held;  // at the end, whatever is left must be used
      break;
    }
    if (used == 0 && held == step) {
      ok = false;  // nothing can be used from a full buffer
      break;
    }
    std::memmove(buffer.data(), buffer.data() + used, held - used);
    held -= used;
  }
  ::close(fd);
  return ok;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* errorOut) {
  auto fail = [&](const std::string& what, int error) {
    if (errorOut) *errorOut = path + ": " + what + ": " + errnoText(error);
    return false;
  };
  if (path.empty() || path.back() == '/') return fail("not a file name", EINVAL);

  // Follow a symbolic link so that the link stays and its target is replaced.
  std::string target = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }

  std::string folder = parentFolder(target);
  std::string base = target.substr(
      target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/') + 1);
  std::string temp = folder + "/." + base + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return fail("cannot create a temporary file in " + folder, errno);
  temp.assign(name.data());

  auto abandon = [&](const std::string& what, int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    return fail(what, error);
  };

  // Keep the permission bits of the file being replaced; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) return abandon("cannot set permissions", errno);

  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon("cannot write", errno);
    }
    p += n;
    left -= size_t(n);
  }
  if (::fsync(fd) != 0) return abandon("cannot flush", errno);
  if (::close(fd) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    return fail("cannot close", error);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    return fail("cannot replace the file", error);
  }
  return true;
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty() || isDirectory(partial)) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return isDirectory(path);
}

}  // namespace vmk
