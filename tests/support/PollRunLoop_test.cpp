// The poll run loop: timers in due order, cancellation, socket readiness, stopping.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "host/PollRunLoop.h"

namespace {

using namespace std::chrono_literals;
using vmk::PollRunLoop;
using vmk::RunLoop;

TEST(PollRunLoop, TimersFireInDueOrderAndTiesInTheOrderAdded) {
  PollRunLoop loop;
  std::string fired;
  loop.addTimer(20ms, [&] { fired += "late;"; });
  loop.addTimer(0ms, [&] { fired += "first;"; });
  loop.addTimer(0ms, [&] { fired += "second;"; });
  const RunLoop::TimerId cancelled = loop.addTimer(5ms, [&] { fired += "cancelled;"; });
  loop.cancelTimer(cancelled);
  loop.cancelTimer(cancelled);  // twice is harmless
  loop.run();                   // returns once nothing is left to wait for
  EXPECT_EQ(fired, "first;second;late;");
  EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(PollRunLoop, ATimerAddedByACallbackWaitsForTheNextTurn) {
  PollRunLoop loop;
  int turns = 0;
  std::string fired;
  loop.addTimer(0ms, [&] {
    fired += "a;";
    loop.addTimer(0ms, [&] { fired += "b;"; });
  });
  while (loop.runOnce(100ms)) {
    ++turns;
    if (turns > 10) break;
  }
  EXPECT_EQ(fired, "a;b;");
  EXPECT_GE(turns, 2);
}

TEST(PollRunLoop, SocketsAreCalledBackWhenReadableAndCanUnwatchThemselves) {
  PollRunLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string received;
  loop.watchSocket(fds[0], RunLoop::kSocketReadable, [&](int fd, int events) {
    EXPECT_TRUE(events & RunLoop::kSocketReadable);
    char buffer[16];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) received.append(buffer, static_cast<size_t>(n));
    loop.unwatchSocket(fd);
  });
  loop.addTimer(5ms, [&] { ASSERT_EQ(::write(fds[1], "ping", 4), 4); });
  loop.run();
  EXPECT_EQ(received, "ping");
  EXPECT_EQ(loop.watchedSockets(), 0u);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(PollRunLoop, StopEndsRunWhileWorkIsLeft) {
  PollRunLoop loop;
  bool later = false;
  loop.addTimer(0ms, [&] { loop.stop(); });
  loop.addTimer(10s, [&] { later = true; });
  const auto start = std::chrono::steady_clock::now();
  loop.run();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(later);
  EXPECT_EQ(loop.pendingTimers(), 1u);
  EXPECT_FALSE(PollRunLoop().runOnce(0ms));  // nothing to wait for
}

}  // namespace
