#include "host/PollRunLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vmk {

namespace {
RunLoop* gInstalledRunLoop = nullptr;
}  // namespace

RunLoop& runLoop() {
  static PollRunLoop fallback;
  return gInstalledRunLoop ? *gInstalledRunLoop : fallback;
}

void setRunLoop(RunLoop* loop) {
  gInstalledRunLoop = loop;
}

RunLoop::TimerId PollRunLoop::addTimer(std::chrono::milliseconds delay, TimerCallback callback) {
  const TimerId id = nextTimer_++;
  const Clock::time_point due = Clock::now() + (delay.count() > 0 ? delay : delay.zero());
  timers_.emplace(std::make_pair(due, id), std::move(callback));
  timerDue_.emplace(id, due);
  return id;
}

void PollRunLoop::cancelTimer(TimerId timer) {
  auto it = timerDue_.find(timer);
  if (it == timerDue_.end()) return;
  timers_.erase(std::make_pair(it->second, timer));
  timerDue_.erase(it);
}

void PollRunLoop::watchSocket(int fd, int events, SocketCallback callback) {
  if (events == 0 || !callback) {
    sockets_.erase(fd);
    return;
  }
  sockets_[fd] = Watch{events, std::move(callback)};
}

void PollRunLoop::run() {
  stopped_ = false;
  while (!stopped_) {
    if (!runOnce(std::chrono::milliseconds(-1))) break;
  }
}

bool PollRunLoop::runOnce(std::chrono::milliseconds maxWait) {
  if (timers_.empty() && sockets_.empty()) return false;

  // How long poll() may sleep: until the first timer, and no longer than maxWait (negative:
  // no limit of its own).
  int timeout = -1;
  if (!timers_.empty()) {
    const auto untilFirst =
        std::chrono::ceil<std::chrono::milliseconds>(timers_.begin()->first.first - Clock::now());
    timeout = static_cast<int>(std::max<int64_t>(0, untilFirst.count()));
  }
  if (maxWait.count() >= 0 && (timeout < 0 || maxWait.count() < timeout)) {
    timeout = static_cast<int>(maxWait.count());
  }

  std::vector<pollfd> fds;
  fds.reserve(sockets_.size());
  for (const auto& [fd, watch] : sockets_) {
    short wanted = 0;
    if (watch.events & kSocketReadable) wanted |= POLLIN;
    if (watch.events & kSocketWritable) wanted |= POLLOUT;
    fds.push_back(pollfd{fd, wanted, 0});
  }
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) return false;

  for (const pollfd& p : fds) {
    if (ready <= 0 || p.revents == 0) continue;
    // An earlier callback of this turn may have removed or replaced the watch.
    auto it = sockets_.find(p.fd);
    if (it == sockets_.end()) continue;
    int events = 0;
    if (p.revents & (POLLIN | POLLHUP)) events |= kSocketReadable;
    if (p.revents & POLLOUT) events |= kSocketWritable;
    if (p.revents & (POLLERR | POLLNVAL)) events |= kSocketError;
    if (p.revents & POLLNVAL) {
      // A closed descriptor would be reported on every turn.
      SocketCallback callback = std::move(it->second.callback);
      sockets_.erase(it);
      callback(p.fd, events);
      continue;
    }
    SocketCallback callback = it->second.callback;  // may unwatch itself while running
    callback(p.fd, events);
  }

  // Timers that are due now; one added by a callback of this turn waits for the next turn.
  const Clock::time_point now = Clock::now();
  const TimerId limit = nextTimer_;
  while (!timers_.empty() && timers_.begin()->first.first <= now) {
    auto first = timers_.begin();
    if (first->first.second >= limit) break;
    TimerCallback callback = std::move(first->second);
    timerDue_.erase(first->first.second);
    timers_.erase(first);
    callback();
    if (stopped_) break;
  }
  return true;
}

}  // namespace vmk
