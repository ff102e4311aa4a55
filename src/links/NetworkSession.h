// The network layer of the link checker: requests for link targets on libcurl's multi socket
// interface, driven by the run loop of the main thread. It asks for the response head only,
// never follows a redirect, answers file URLs from the file system, and holds requests in a
// queue of its own so that at most a fixed number run at once in total and per host (libcurl's
// own connection queue would count the waiting time into a request's time-out).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "links/VmkURL.h"

namespace vmk {

class RunLoop;

// The head of an answer.
struct LinkResponse {
  std::string url;     // the URL that was asked for
  int statusCode = 0;  // 0 when the answer has no HTTP status (a file)
  // The media type without its parameters, in lower case ("text/html"); "" when unknown.
  std::string mimeType;
  bool isFile = false;
};

struct LinkError {
  enum class Kind {
    UnsupportedURL,  // a scheme the layer cannot ask for (mailto:, javascript:, ...)
    FileNotFound,    // a file URL whose file does not exist
    CannotStart,     // the request could not be made at all
    Other,           // refused, not found, timed out, ...
  };
  Kind kind = Kind::Other;
  std::string description;
};

// What a request tells its delegate, always on the run loop's thread and never from within
// NetworkSession::start for a network request.
class LinkRequestDelegate {
 public:
  virtual ~LinkRequestDelegate() = default;
  // The URL about to be asked for: first the request's own, with no redirect; then, when the
  // server redirects, the target with the redirect answer, which the layer does not follow
  // (it is delivered as the response right after).
  virtual void willSendRequest(const std::string& url, const LinkResponse* redirectResponse) = 0;
  // The final head (1xx answers are passed over). The transfer stops here: no body is read.
  virtual void didReceiveResponse(const LinkResponse& response) = 0;
  virtual void didFail(const LinkError& error) = 0;
  // The transfer ended without a response head.
  virtual void didFinishLoading() = 0;
};

class NetworkSession;

// A running or queued request. Destroying it cancels the request; nothing more is told.
class LinkConnection {
 public:
  LinkConnection(NetworkSession& session, uint64_t id) : session_(&session), id_(id) {}
  ~LinkConnection() { cancel(); }
  LinkConnection(const LinkConnection&) = delete;
  LinkConnection& operator=(const LinkConnection&) = delete;
  // Stops the request at once; the delegate hears nothing more.
  void cancel();

 private:
  NetworkSession* session_;
  uint64_t id_;
};

class NetworkSession {
 public:
  static constexpr size_t kDefaultMaxTransfers = 64;
  static constexpr size_t kDefaultMaxTransfersPerHost = 8;

  // The session of the process, on runLoop().
  static NetworkSession& shared();

  explicit NetworkSession(RunLoop& loop);
  ~NetworkSession();
  NetworkSession(const NetworkSession&) = delete;
  NetworkSession& operator=(const NetworkSession&) = delete;

  // Starts a request for an absolute URL with a time-out in seconds, counted from the moment
  // the request leaves the queue. File URLs, schemes other than http and https, and requests
  // that cannot be made are answered at once, before this returns, and give no connection;
  // otherwise the delegate hears from the run loop until the connection is cancelled or it
  // was told a response, a failure or the end.
  std::unique_ptr<LinkConnection> start(const VmkURL& url, double timeoutSeconds,
                                        LinkRequestDelegate& delegate);

  void setLimits(size_t maxTransfers, size_t maxTransfersPerHost);
  size_t runningCount() const { return running_; }
  size_t queuedCount() const { return queued_; }
  // The largest number of transfers that ran at once since the session was made.
  size_t peakRunningCount() const { return peakRunning_; }

 private:
  friend class LinkConnection;
  struct Transfer;
  struct HostQueue;
  struct Curl;

  void cancel(uint64_t id);
  void enqueue(std::unique_ptr<Transfer> transfer);
  void launch(Transfer& transfer);
  // Starts queued transfers while there is room.
  void startQueued();
  void finish(Transfer& transfer);
  void onSocket(int fd, int events);
  void onTimer();
  void processDone();
  void dropFinished();
  static size_t onHeader(char* data, size_t size, size_t count, void* user);
  static int onSocketChange(void* easy, int fd, int what, void* user, void* socketUser);
  static int onTimerChange(void* multi, long timeoutMs, void* user);
  void headerLine(Transfer& transfer, std::string_view line);

  RunLoop& loop_;
  std::unique_ptr<Curl> curl_;
  std::unordered_map<uint64_t, std::unique_ptr<Transfer>> transfers_;
  std::unordered_map<std::string, HostQueue> hosts_;
  // Hosts with waiting transfers, in the order they first had to wait.
  std::deque<std::string> waitingHosts_;
  // Transfers that ended inside a libcurl call, cleaned up once it returned.
  std::vector<uint64_t> finished_;
  std::unordered_set<int> watchedSockets_;
  uint64_t nextId_ = 1;
  uint64_t timer_ = 0;
  size_t running_ = 0;
  size_t queued_ = 0;
  size_t peakRunning_ = 0;
  size_t maxTransfers_ = kDefaultMaxTransfers;
  size_t maxPerHost_ = kDefaultMaxTransfersPerHost;
  int curlDepth_ = 0;
};

// Fetches a whole page (at most maxBytes) with a time-out in seconds, blocking the calling
// thread: the bytes, and the charset the answer names when it names one. Absent (with
// *errorOut) when the page cannot be fetched or does not answer 2xx.
struct FetchedPage {
  std::string bytes;
  std::optional<std::string> charset;
};
std::optional<FetchedPage> fetchPage(const std::string& url, double timeoutSeconds, size_t maxBytes,
                                     std::string* errorOut = nullptr);

// The media type of a Content-Type value, without parameters, in lower case.
std::string mediaTypeOf(std::string_view contentType);
// The charset parameter of a Content-Type value, when there is one.
std::optional<std::string> charsetOf(std::string_view contentType);

}  // namespace vmk
