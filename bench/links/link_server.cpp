// The link tests' HTTP server as a program, for the link benchmark: listens on 127.0.0.1 at a
// port the system picks, prints the port, and serves until standard input closes.
#include <unistd.h>

#include <cstdio>

#include "TestHttpServer.h"

int main() {
  vmk::test::TestHttpServer server("127.0.0.1");
  std::printf("%d\n", server.port());
  std::fflush(stdout);
  char buffer[256];
  while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  std::fprintf(stderr, "link_server: %zu requests, at most %d connections and %d requests at once\n",
               server.totalRequests(), server.peakConnections(), server.peakRequestsInFlight());
  server.stop();
  return 0;
}
