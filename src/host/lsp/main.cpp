// velumark-lsp: the checker as a language server, speaking JSON-RPC on standard input and
// output. Nothing but protocol messages goes to standard output; logs go to standard error.
#include <CLI/CLI.hpp>

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "host/PollRunLoop.h"
#include "host/lsp/LspServer.h"

namespace {

// Writes all the bytes; false when the other side is gone.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Language server for HTML 4.01 and XHTML 1.0: diagnostics, quick fixes, formatting, hover "
      "and completion over JSON-RPC on standard input and output.",
      "velumark-lsp"};
  app.set_version_flag("--version", "velumark-lsp 0.1.0");
  bool stdio = false;
  app.add_flag("--stdio", stdio, "Speak on standard input and output (the only transport)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
#if defined(__GLIBC__)
  // As in the velumark command: a check's two threads otherwise grow their heaps a page at a
  // time.
  mallopt(M_TOP_PAD, 32 << 20);
#endif
  ::signal(SIGPIPE, SIG_IGN);
  // The protocol keeps standard output for itself: whatever else would be printed there goes
  // to standard error.
  std::fflush(stdout);
  const int protocolOut = ::dup(STDOUT_FILENO);
  if (protocolOut < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::perror("velumark-lsp: standard output");
    return 1;
  }

  vmk::PollRunLoop loop;
  vmk::setRunLoop(&loop);
  bool outputGone = false;
  vmk::lsp::LspServer server(
      [&](std::string_view bytes) {
        if (!outputGone && !writeAll(protocolOut, bytes)) outputGone = true;
      },
      loop);

  loop.watchSocket(STDIN_FILENO, vmk::RunLoop::kSocketReadable, [&](int fd, int events) {
    char buffer[1 << 16];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      server.receive(std::string_view(buffer, static_cast<size_t>(count)));
    } else if (count == 0 || (errno != EINTR && errno != EAGAIN) ||
               (events & vmk::RunLoop::kSocketError)) {
      server.inputClosed();
    }
    if (server.finished() || outputGone) {
      loop.unwatchSocket(STDIN_FILENO);
      loop.stop();
    }
  });
  loop.run();
  vmk::setRunLoop(nullptr);
  return server.exitCode();
}
