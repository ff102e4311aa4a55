#include "cli/DesktopOpener.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace vmk::cli {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool isOpenableAddress(const std::string& address) {
  if (address.empty() || address.front() == '-') return false;
  // A control character has no business in an address (and could end it early).
  for (unsigned char c : address) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return startsWithIgnoringCase(address, "http://") ||
         startsWithIgnoringCase(address, "https://") || startsWithIgnoringCase(address, "file:");
}

bool openWithDesktop(const std::string& address, std::string* error) {
  if (!isOpenableAddress(address)) {
    if (error) *error = "refusing to open '" + address + "': only http, https and file addresses";
    return false;
  }
  const char* configured = std::getenv("VELUMARK_OPENER");
  const std::string opener = configured && *configured ? configured : "xdg-open";
  std::string argument = address;
  char* argv[] = {const_cast<char*>(opener.c_str()), argument.data(), nullptr};
  // Whatever the opener prints goes to standard error: standard output holds the answer.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t child = 0;
  const int started = posix_spawnp(&child, opener.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    if (error) *error = "cannot run " + opener + ": " + std::strerror(started);
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      if (error) *error = "cannot wait for " + opener;
      return false;
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    if (error) *error = opener + " could not open '" + address + "'";
    return false;
  }
  return true;
}

}  // namespace vmk::cli
