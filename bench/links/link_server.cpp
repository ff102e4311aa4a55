// The link tests' HTTP server as a program, for the link benchmark: listens on each loopback
// address given (default 127.0.0.1) at a port the system picks, prints one origin a line
// ("http://127.0.0.1:PORT"), and serves until standard input closes.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "TestHttpServer.h"

int main(int argc, char** argv) {
  std::vector<std::string> addresses(argv + 1, argv + argc);
  if (addresses.empty()) addresses.push_back("127.0.0.1");
  std::vector<std::unique_ptr<vmk::test::TestHttpServer>> servers;
  for (const std::string& address : addresses) {
    servers.push_back(std::make_unique<vmk::test::TestHttpServer>(address));
    std::printf("%s\n", servers.back()->origin().c_str());
  }
  std::fflush(stdout);
  char buffer[256];
  while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  for (auto& server : servers) {
    std::fprintf(stderr, "link_server %s: %zu requests, at most %d connections at once\n",
                 server->origin().c_str(), server->totalRequests(), server->peakConnections());
    server->stop();
  }
  return 0;
}
