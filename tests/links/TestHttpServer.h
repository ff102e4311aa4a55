// A small HTTP/1.1 server for the link checker's tests and benchmark. It listens on a loopback
// address at a port the system picks, answers each connection on a thread of its own (with
// keep-alive), and logs every request it reads.
//
// Paths it answers:
//   /status/NNN          status NNN; 3xx answers carry "Location: /target/NNN"
//   /status/NNN?to=URL   the same, with "Location: URL"
//   /nolocation/NNN      a 3xx status without a Location header
//   /continue/NNN        "100 Continue" first, then status NNN
//   /slow/MS             200 after MS milliseconds (/slow/MS?status=NNN: status NNN)
//   /html                text/html; charset=utf-8
//   /html-plain          text/html without parameters
//   /image.png           image/png
//   /target/...          200 text/plain
//   pages added with addPage, by path (query ignored)
//   anything else        404
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vmk::test {

class TestHttpServer {
 public:
  // Starts listening on `address` (an IPv4 or IPv6 literal); throws when it cannot.
  explicit TestHttpServer(const std::string& address = "127.0.0.1");
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:PORT" (brackets around an IPv6 address).
  std::string origin() const;
  std::string url(const std::string& path) const { return origin() + path; }

  // Serves `body` with the content type at `path`.
  void addPage(const std::string& path, const std::string& contentType, const std::string& body);

  // "GET /path?query" of every request read, in order.
  std::vector<std::string> requests() const;
  // Requests whose target (path and query) is exactly `target`.
  size_t requestCount(const std::string& target) const;
  size_t totalRequests() const;
  void clearLog();
  // The most connections that were open at once, and the most requests being answered at once.
  int peakConnections() const { return peakConnections_; }
  int peakRequestsInFlight() const { return peakInFlight_; }

  void stop();

 private:
  struct Page {
    std::string contentType;
    std::string body;
  };
  void acceptLoop();
  void serve(int fd);
  std::string answer(const std::string& target, bool& sendContinue, int& delayMs);

  std::string address_;
  int listenFd_ = -1;
  int port_ = 0;
  int wakeFds_[2] = {-1, -1};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::map<std::string, Page> pages_;
  std::set<int> openFds_;
  std::atomic<int> connections_{0};
  std::atomic<int> peakConnections_{0};
  std::atomic<int> inFlight_{0};
  std::atomic<int> peakInFlight_{0};
  std::atomic<bool> stopping_{false};
};

}  // namespace vmk::test
