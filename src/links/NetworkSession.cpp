#include "links/NetworkSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>

#include "host/RunLoop.h"

namespace vmk {

namespace {

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// The value of a header line when it is the named header (name in lower case).
std::optional<std::string_view> headerValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  if (lowerAscii(line.substr(0, name.size())) != name) return std::nullopt;
  return trimmed(line.substr(name.size() + 1));
}

// Pages a file URL names are HTML by their extension.
std::string mimeTypeOfFile(const std::string& path) {
  const std::string extension = lowerAscii(std::filesystem::path(path).extension().string());
  if (extension == ".html" || extension == ".htm" || extension == ".xhtml") return "text/html";
  return "";
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

// Options every request shares: no redirects, only http and https, no signals, and requests
// that ask past any cache on the way.
void setCommonOptions(CURL* easy, const std::string& url, double timeoutSeconds,
                      curl_slist* headers, char* errorBuffer) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Velumark link check");
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
  const long timeoutMs = static_cast<long>(std::max(0.0, timeoutSeconds) * 1000.0);
  // 0 would mean "no time-out"; the shortest one asked for is a millisecond.
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, std::max(1L, timeoutMs));
}

curl_slist* noCacheHeaders() {
  curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
  return curl_slist_append(headers, "Pragma: no-cache");
}

std::string curlFailureText(CURLcode code, const char* errorBuffer) {
  if (errorBuffer && *errorBuffer) return errorBuffer;
  return curl_easy_strerror(code);
}

}  // namespace

std::string mediaTypeOf(std::string_view contentType) {
  const size_t cut = contentType.find(';');
  return lowerAscii(trimmed(contentType.substr(0, cut)));
}

std::optional<std::string> charsetOf(std::string_view contentType) {
  size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    std::string_view rest = contentType.substr(at + 1);
    const size_t next = rest.find(';');
    std::string_view parameter = trimmed(rest.substr(0, next));
    if (const size_t equals = parameter.find('=');
        equals != std::string_view::npos &&
        lowerAscii(trimmed(parameter.substr(0, equals))) == "charset") {
      std::string_view value = trimmed(parameter.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      if (!value.empty()) return std::string(value);
    }
    at = next == std::string_view::npos ? next : at + 1 + next;
  }
  return std::nullopt;
}

struct NetworkSession::Curl {
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  ~Curl() {
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }
};

struct NetworkSession::Transfer {
  uint64_t id = 0;
  LinkRequestDelegate* delegate = nullptr;  // nullptr once cancelled
  VmkURL url;
  std::string hostKey;
  EasyHandle easy;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  // The head being read.
  int status = 0;
  std::string contentType;
  std::optional<std::string> location;
  bool told = false;  // the delegate heard its final word
  bool running = false;
  bool queued = false;
  explicit Transfer(VmkURL u) : url(std::move(u)) {}
};

struct NetworkSession::HostQueue {
  size_t running = 0;
  std::deque<uint64_t> waiting;  // ids; cancelled ones are skipped when reached
  bool listed = false;           // in waitingHosts_
};

void LinkConnection::cancel() {
  if (session_) session_->cancel(id_);
  session_ = nullptr;
}

NetworkSession& NetworkSession::shared() {
  static NetworkSession session(runLoop());
  return session;
}

NetworkSession::NetworkSession(RunLoop& loop) : loop_(loop), curl_(std::make_unique<Curl>()) {
  initCurlOnce();
  curl_->multi = curl_multi_init();
  curl_->headers = noCacheHeaders();
  curl_multi_setopt(curl_->multi, CURLMOPT_SOCKETFUNCTION, &NetworkSession::onSocketChange);
  curl_multi_setopt(curl_->multi, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(curl_->multi, CURLMOPT_TIMERFUNCTION, &NetworkSession::onTimerChange);
  curl_multi_setopt(curl_->multi, CURLMOPT_TIMERDATA, this);
}

NetworkSession::~NetworkSession() {
  for (auto& [id, transfer] : transfers_) {
    if (transfer->running) curl_multi_remove_handle(curl_->multi, transfer->easy.get());
  }
  transfers_.clear();
  // Cleaning up may still close sockets and move the timer through the callbacks.
  curl_.reset();
  for (int fd : watchedSockets_) loop_.unwatchSocket(fd);
  if (timer_) loop_.cancelTimer(timer_);
}

void NetworkSession::setLimits(size_t maxTransfers, size_t maxTransfersPerHost) {
  maxTransfers_ = std::max<size_t>(1, maxTransfers);
  maxPerHost_ = std::max<size_t>(1, maxTransfersPerHost);
  if (curlDepth_ == 0) startQueued();
}

std::unique_ptr<LinkConnection> NetworkSession::start(const VmkURL& url, double timeoutSeconds,
                                                      LinkRequestDelegate& delegate) {
  delegate.willSendRequest(url.absoluteString(), nullptr);
  if (url.isFileURL()) {
    const std::string path = url.decodedPath();
    std::error_code error;
    const bool local = url.host().empty() || lowerAscii(url.host()) == "localhost";
    if (local && !path.empty() && std::filesystem::exists(path, error)) {
      LinkResponse response;
      response.url = url.absoluteString();
      response.isFile = true;
      response.mimeType = mimeTypeOfFile(path);
      delegate.didReceiveResponse(response);
    } else {
      delegate.didFail({LinkError::Kind::FileNotFound, "The file does not exist."});
    }
    return nullptr;
  }
  if (!url.isHTTP() || url.host().empty()) {
    delegate.didFail({LinkError::Kind::UnsupportedURL, "unsupported URL"});
    return nullptr;
  }
  auto transfer = std::make_unique<Transfer>(url);
  transfer->easy.reset(curl_easy_init());
  if (!transfer->easy) {
    delegate.didFail({LinkError::Kind::CannotStart, "the request could not be made"});
    return nullptr;
  }
  transfer->id = nextId_++;
  transfer->delegate = &delegate;
  transfer->hostKey =
      *url.scheme() + "://" + lowerAscii(url.host()) + ":" + url.port().value_or("");
  CURL* easy = transfer->easy.get();
  setCommonOptions(easy, url.absoluteString(), timeoutSeconds, curl_->headers,
                   transfer->errorBuffer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &NetworkSession::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
  // The head is read to its end and the transfer stopped there; a body byte ends it too.
  curl_easy_setopt(
      easy, CURLOPT_WRITEFUNCTION, +[](char*, size_t, size_t, void*) -> size_t { return 0; });
  const uint64_t id = transfer->id;
  enqueue(std::move(transfer));
  return std::make_unique<LinkConnection>(*this, id);
}

void NetworkSession::enqueue(std::unique_ptr<Transfer> transfer) {
  Transfer& t = *transfer;
  transfers_.emplace(t.id, std::move(transfer));
  HostQueue& host = hosts_[t.hostKey];
  host.waiting.push_back(t.id);
  t.queued = true;
  ++queued_;
  if (!host.listed) {
    host.listed = true;
    waitingHosts_.push_back(t.hostKey);
  }
  // Inside a libcurl call a handle may not be added; the call's end starts it.
  if (curlDepth_ == 0) startQueued();
}

void NetworkSession::startQueued() {
  while (running_ < maxTransfers_ && !waitingHosts_.empty()) {
    bool started = false;
    for (auto it = waitingHosts_.begin(); it != waitingHosts_.end();) {
      HostQueue& host = hosts_[*it];
      while (!host.waiting.empty() && !transfers_.contains(host.waiting.front())) {
        host.waiting.pop_front();
      }
      if (host.waiting.empty()) {
        host.listed = false;
        if (host.running == 0) {
          const std::string key = *it;
          it = waitingHosts_.erase(it);
          hosts_.erase(key);
        } else {
          it = waitingHosts_.erase(it);
        }
        continue;
      }
      if (host.running >= maxPerHost_) {
        ++it;
        continue;
      }
      const uint64_t id = host.waiting.front();
      host.waiting.pop_front();
      launch(*transfers_.at(id));
      started = true;
      break;
    }
    // Every host with waiting transfers runs as many as it may.
    if (!started) break;
  }
}

void NetworkSession::launch(Transfer& transfer) {
  transfer.queued = false;
  --queued_;
  if (curl_multi_add_handle(curl_->multi, transfer.easy.get()) != CURLM_OK) {
    transfer.told = true;
    LinkRequestDelegate* delegate = transfer.delegate;
    const uint64_t id = transfer.id;
    transfers_.erase(id);
    if (delegate)
      delegate->didFail({LinkError::Kind::CannotStart, "the request could not be made"});
    return;
  }
  transfer.running = true;
  ++running_;
  peakRunning_ = std::max(peakRunning_, running_);
  ++hosts_[transfer.hostKey].running;
}

void NetworkSession::cancel(uint64_t id) {
  auto it = transfers_.find(id);
  if (it == transfers_.end()) return;
  Transfer& transfer = *it->second;
  transfer.delegate = nullptr;
  transfer.told = true;
  if (transfer.queued) {
    // Its id stays in the host's queue and is passed over there.
    --queued_;
    transfers_.erase(it);
    return;
  }
  if (curlDepth_ > 0) {
    finished_.push_back(id);
    return;
  }
  finish(transfer);
}

void NetworkSession::finish(Transfer& transfer) {
  if (transfer.running) {
    curl_multi_remove_handle(curl_->multi, transfer.easy.get());
    transfer.running = false;
    --running_;
    auto host = hosts_.find(transfer.hostKey);
    if (host != hosts_.end()) {
      --host->second.running;
      if (host->second.running == 0 && !host->second.listed) hosts_.erase(host);
    }
  }
  transfers_.erase(transfer.id);
}

void NetworkSession::dropFinished() {
  while (!finished_.empty()) {
    std::vector<uint64_t> ids;
    ids.swap(finished_);
    for (uint64_t id : ids) {
      auto it = transfers_.find(id);
      if (it != transfers_.end()) finish(*it->second);
    }
  }
}

int NetworkSession::onSocketChange(void* /*easy*/, int fd, int what, void* user,
                                   void* /*socketUser*/) {
  auto* session = static_cast<NetworkSession*>(user);
  if (what == CURL_POLL_REMOVE) {
    session->loop_.unwatchSocket(fd);
    session->watchedSockets_.erase(fd);
    return 0;
  }
  session->watchedSockets_.insert(fd);
  int events = 0;
  if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= RunLoop::kSocketReadable;
  if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= RunLoop::kSocketWritable;
  session->loop_.watchSocket(fd, events, [session](int readyFd, int readyEvents) {
    session->onSocket(readyFd, readyEvents);
  });
  return 0;
}

int NetworkSession::onTimerChange(void* /*multi*/, long timeoutMs, void* user) {
  auto* session = static_cast<NetworkSession*>(user);
  if (session->timer_) session->loop_.cancelTimer(session->timer_);
  session->timer_ = 0;
  if (timeoutMs >= 0) {
    session->timer_ = session->loop_.addTimer(std::chrono::milliseconds(timeoutMs), [session] {
      session->timer_ = 0;
      session->onTimer();
    });
  }
  return 0;
}

void NetworkSession::onSocket(int fd, int events) {
  int flags = 0;
  if (events & RunLoop::kSocketReadable) flags |= CURL_CSELECT_IN;
  if (events & RunLoop::kSocketWritable) flags |= CURL_CSELECT_OUT;
  if (events & RunLoop::kSocketError) flags |= CURL_CSELECT_ERR;
  int stillRunning = 0;
  ++curlDepth_;
  curl_multi_socket_action(curl_->multi, fd, flags, &stillRunning);
  --curlDepth_;
  processDone();
}

void NetworkSession::onTimer() {
  int stillRunning = 0;
  ++curlDepth_;
  curl_multi_socket_action(curl_->multi, CURL_SOCKET_TIMEOUT, 0, &stillRunning);
  --curlDepth_;
  processDone();
}

void NetworkSession::processDone() {
  dropFinished();
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(curl_->multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Transfer* found = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &found);
    if (!found) continue;
    const CURLcode result = message->data.result;
    // Keep the transfer alive while its delegate hears of it; the delegate may cancel others.
    auto it = transfers_.find(found->id);
    if (it == transfers_.end()) continue;
    std::unique_ptr<Transfer> transfer = std::move(it->second);
    finish(*transfer);
    if (!transfer->delegate || transfer->told) continue;
    transfer->told = true;
    if (result == CURLE_OK) {
      transfer->delegate->didFinishLoading();
    } else {
      transfer->delegate->didFail(
          {LinkError::Kind::Other, curlFailureText(result, transfer->errorBuffer)});
    }
  }
  dropFinished();
  startQueued();
}

size_t NetworkSession::onHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (transfer->told) return 0;
  std::string_view line(data, length);
  // The status line opens a head (a 1xx head is followed by another).
  if (line.starts_with("HTTP/")) {
    const size_t space = line.find(' ');
    transfer->status = space == std::string_view::npos ? 0 : std::atoi(line.data() + space + 1);
    transfer->contentType.clear();
    transfer->location.reset();
    return length;
  }
  const std::string_view content = trimmed(line);
  if (!content.empty()) {
    if (auto value = headerValue(content, "content-type")) {
      transfer->contentType = std::string(*value);
    } else if (auto target = headerValue(content, "location")) {
      transfer->location = std::string(*target);
    }
    return length;
  }
  // The end of a head.
  if (transfer->status >= 100 && transfer->status <= 199) return length;
  transfer->told = true;
  LinkRequestDelegate* delegate = transfer->delegate;
  if (!delegate) return 0;
  LinkResponse response;
  response.url = transfer->url.absoluteString();
  response.statusCode = transfer->status;
  response.mimeType = mediaTypeOf(transfer->contentType);
  if (transfer->status >= 300 && transfer->status <= 399 && transfer->location) {
    std::optional<VmkURL> target = VmkURL::parse(*transfer->location, &transfer->url);
    delegate->willSendRequest(target ? target->absoluteString() : *transfer->location, &response);
    // The delegate may have cancelled the request meanwhile.
    if (!transfer->delegate) return 0;
  }
  delegate->didReceiveResponse(response);
  // Only the head was wanted: the transfer ends here, without reading the body.
  return 0;
}

std::optional<FetchedPage> fetchPage(const std::string& url, double timeoutSeconds, size_t maxBytes,
                                     std::string* errorOut) {
  initCurlOnce();
  EasyHandle easy(curl_easy_init());
  if (!easy) {
    if (errorOut) *errorOut = "the request could not be made";
    return std::nullopt;
  }
  struct Body {
    std::string bytes;
    size_t maxBytes;
    bool tooLarge = false;
  } body{{}, maxBytes};
  char errorBuffer[CURL_ERROR_SIZE] = {};
  curl_slist* headers = noCacheHeaders();
  setCommonOptions(easy.get(), url, timeoutSeconds, headers, errorBuffer);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(
      easy.get(), CURLOPT_WRITEFUNCTION,
      +[](char* data, size_t size, size_t count, void* user) -> size_t {
        auto* b = static_cast<Body*>(user);
        const size_t length = size * count;
        if (b->bytes.size() + length > b->maxBytes) {
          b->tooLarge = true;
          return 0;
        }
        b->bytes.append(data, length);
        return length;
      });
  const CURLcode result = curl_easy_perform(easy.get());
  curl_slist_free_all(headers);
  if (body.tooLarge) {
    if (errorOut) *errorOut = "the page is larger than " + std::to_string(maxBytes) + " bytes";
    return std::nullopt;
  }
  if (result != CURLE_OK) {
    if (errorOut) *errorOut = curlFailureText(result, errorBuffer);
    return std::nullopt;
  }
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) {
    if (errorOut) *errorOut = "the server answered " + std::to_string(status);
    return std::nullopt;
  }
  FetchedPage page;
  page.bytes = std::move(body.bytes);
  const char* contentType = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType) page.charset = charsetOf(contentType);
  return page;
}

}  // namespace vmk
