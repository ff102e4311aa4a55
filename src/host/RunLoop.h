// The main run loop the host drives: one-shot timers and socket readiness, all called back on
// the one thread that runs the loop. The headless host implements it with poll(); a windowed
// host maps it onto its own event loop. Network layers and debounced work register here
// instead of blocking.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace vmk {

class RunLoop {
 public:
  using TimerId = uint64_t;
  using TimerCallback = std::function<void()>;
  // `events` is a mask of kSocketReadable / kSocketWritable (and kSocketError on failure).
  using SocketCallback = std::function<void(int fd, int events)>;

  static constexpr int kSocketReadable = 1;
  static constexpr int kSocketWritable = 2;
  static constexpr int kSocketError = 4;
  static constexpr TimerId kNoTimer = 0;

  virtual ~RunLoop() = default;

  // Calls `callback` once, `delay` from now (0: at the next turn of the loop). Never kNoTimer.
  virtual TimerId addTimer(std::chrono::milliseconds delay, TimerCallback callback) = 0;
  // Forgets a timer that has not fired; unknown or fired ids are ignored.
  virtual void cancelTimer(TimerId timer) = 0;

  // Watches `fd` for the events of `events` (replacing an earlier watch of the same fd);
  // events == 0 stops watching it. The callback may change or remove any watch, its own too.
  virtual void watchSocket(int fd, int events, SocketCallback callback) = 0;
  void unwatchSocket(int fd) { watchSocket(fd, 0, nullptr); }

  // Turns the loop until stop() is called or nothing is left to wait for.
  virtual void run() = 0;
  // One turn: waits at most `maxWait` for a timer or a socket, then calls what is due. False
  // when there was nothing to wait for.
  virtual bool runOnce(std::chrono::milliseconds maxWait) = 0;
  // Makes run() return after the callback that is running.
  virtual void stop() = 0;
};

// The process-wide loop; the host installs its own at start-up. Until then a poll() loop
// created on first use answers.
RunLoop& runLoop();
void setRunLoop(RunLoop* loop);

}  // namespace vmk
