#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace vmk::test {

namespace {

const char* reasonFor(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 404:
      return "Not Found";
    case 410:
      return "Gone";
    case 418:
      return "I'm a teapot";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

bool sendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TestHttpServer::TestHttpServer(const std::string& address) : address_(address) {
  const bool v6 = address.find(':') != std::string::npos;
  listenFd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
    a->sin6_family = AF_INET6;
    if (::inet_pton(AF_INET6, address.c_str(), &a->sin6_addr) != 1) {
      throw std::runtime_error("bad address");
    }
    length = sizeof(sockaddr_in6);
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &a->sin_addr) != 1) {
      throw std::runtime_error("bad address");
    }
    length = sizeof(sockaddr_in);
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
      ::listen(listenFd_, 512) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("cannot listen on " + address);
  }
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&storage), &length);
  port_ = v6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port)
             : ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
  if (::pipe2(wakeFds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
  stop();
}

std::string TestHttpServer::origin() const {
  const bool v6 = address_.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + address_ + "]" : address_) + ":" + std::to_string(port_);
}

void TestHttpServer::addPage(const std::string& path, const std::string& contentType,
                             const std::string& body) {
  std::lock_guard lock(mutex_);
  pages_[path] = Page{contentType, body};
}

std::vector<std::string> TestHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return log_;
}

size_t TestHttpServer::requestCount(const std::string& target) const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const std::string& line : log_) {
    if (line.substr(line.find(' ') + 1) == target) ++count;
  }
  return count;
}

size_t TestHttpServer::totalRequests() const {
  std::lock_guard lock(mutex_);
  return log_.size();
}

void TestHttpServer::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void TestHttpServer::stop() {
  if (stopping_.exchange(true)) return;
  const char byte = 0;
  (void)!::write(wakeFds_[1], &byte, 1);
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  // The workers are detached; each one's last act is to count itself out.
  while (connections_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::close(listenFd_);
  ::close(wakeFds_[0]);
  ::close(wakeFds_[1]);
}

void TestHttpServer::acceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0) continue;
    if (fds[1].revents) break;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    std::lock_guard lock(mutex_);
    openFds_.insert(fd);
    const int open = ++connections_;
    if (open > peakConnections_) peakConnections_ = open;
    std::thread([this, fd] { serve(fd); }).detach();
  }
}

std::string TestHttpServer::answer(const std::string& target, bool& sendContinue, int& delayMs) {
  std::string path = target;
  std::string query;
  if (const size_t cut = target.find('?'); cut != std::string::npos) {
    path = target.substr(0, cut);
    query = target.substr(cut + 1);
  }
  auto respond = [](int status, const std::string& type, const std::string& body,
                    const std::string& extra = "") {
    return "HTTP/1.1 " + std::to_string(status) + " " + reasonFor(status) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           // Lets a peer checker that throttles itself per host go faster here.
           "\r\nLinkChecker: allowed\r\n" + extra + "\r\n" + body;
  };
  auto numberAfter = [&](const std::string& prefix) {
    return std::atoi(path.c_str() + prefix.size());
  };
  {
    std::lock_guard lock(mutex_);
    if (auto page = pages_.find(path); page != pages_.end()) {
      return respond(200, page->second.contentType, page->second.body);
    }
  }
  if (path.starts_with("/status/") || path.starts_with("/continue/")) {
    const bool cont = path.starts_with("/continue/");
    const int status = numberAfter(cont ? "/continue/" : "/status/");
    sendContinue = cont;
    std::string extra;
    if (status >= 300 && status <= 399) {
      const std::string to =
          query.starts_with("to=") ? query.substr(3) : "/target/" + std::to_string(status);
      extra = "Location: " + to + "\r\n";
    }
    return respond(status, "text/plain", "status " + std::to_string(status) + "\n", extra);
  }
  if (path.starts_with("/nolocation/")) {
    return respond(numberAfter("/nolocation/"), "text/plain", "no location\n");
  }
  if (path.starts_with("/slow/")) {
    delayMs = numberAfter("/slow/");
    const int status = query.starts_with("status=") ? std::atoi(query.c_str() + 7) : 200;
    return respond(status, "text/plain", "slow\n");
  }
  if (path == "/html") return respond(200, "text/html; charset=utf-8", "<p>x</p>\n");
  if (path == "/html-plain") return respond(200, "text/html", "<p>x</p>\n");
  if (path == "/image.png") return respond(200, "image/png", std::string("\x89PNG\r\n", 6));
  if (path.starts_with("/target/")) return respond(200, "text/plain", "target\n");
  return respond(404, "text/plain", "not found\n");
}

void TestHttpServer::serve(int fd) {
  std::string buffer;
  char chunk[4096];
  while (!stopping_) {
    size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) goto done;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    {
      const std::string head = buffer.substr(0, headEnd);
      buffer.erase(0, headEnd + 4);
      const size_t lineEnd = head.find("\r\n");
      const std::string requestLine = head.substr(0, lineEnd);
      const size_t first = requestLine.find(' ');
      const size_t second = requestLine.find(' ', first + 1);
      if (first == std::string::npos || second == std::string::npos) break;
      const std::string method = requestLine.substr(0, first);
      const std::string target = requestLine.substr(first + 1, second - first - 1);
      {
        std::lock_guard lock(mutex_);
        log_.push_back(method + " " + target);
        const int now = ++inFlight_;
        if (now > peakInFlight_) peakInFlight_ = now;
      }
      bool sendContinue = false;
      int delayMs = 0;
      const std::string response = answer(target, sendContinue, delayMs);
      if (sendContinue && !sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n")) {
        --inFlight_;
        break;
      }
      if (delayMs > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      }
      // The request stops counting before its answer leaves: once the client has the answer
      // it may send the next one at once, while this thread has not run again yet.
      --inFlight_;
      const bool sent = sendAll(
          fd, method == "HEAD" ? response.substr(0, response.find("\r\n\r\n") + 4) : response);
      if (!sent) break;
    }
  }
done : {
  std::lock_guard lock(mutex_);
  openFds_.erase(fd);
}
  ::close(fd);
  --connections_;
}

}  // namespace vmk::test
