// A run loop over poll(): timers kept in order of their due time, sockets watched with one
// poll() call per turn. Used by the headless host (the command line, the language server, the
// tests) and by runLoop() until a host installs a loop of its own.
#pragma once

#include <map>
#include <unordered_map>
#include <utility>

#include "host/RunLoop.h"

namespace vmk {

class PollRunLoop final : public RunLoop {
 public:
  PollRunLoop() = default;
  PollRunLoop(const PollRunLoop&) = delete;
  PollRunLoop& operator=(const PollRunLoop&) = delete;

  TimerId addTimer(std::chrono::milliseconds delay, TimerCallback callback) override;
  void cancelTimer(TimerId timer) override;
  void watchSocket(int fd, int events, SocketCallback callback) override;
  void run() override;
  bool runOnce(std::chrono::milliseconds maxWait) override;
  void stop() override { stopped_ = true; }

  size_t pendingTimers() const { return timers_.size(); }
  size_t watchedSockets() const { return sockets_.size(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Watch {
    int events = 0;
    SocketCallback callback;
  };
  // Due time, then id: timers due at the same moment fire in the order they were added.
  std::map<std::pair<Clock::time_point, TimerId>, TimerCallback> timers_;
  std::unordered_map<TimerId, Clock::time_point> timerDue_;
  std::unordered_map<int, Watch> sockets_;
  TimerId nextTimer_ = 1;
  bool stopped_ = false;
};

}  // namespace vmk
