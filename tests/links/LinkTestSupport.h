// Pieces the link tests share: a loop that turns until a condition holds, and an environment
// without proxies, so that every request goes straight to the tests' own loopback server.
#pragma once

#include <chrono>
#include <functional>

#include "TestSupport.h"
#include "host/RunLoop.h"

namespace vmk::testing {

// Turns the process's run loop until `done` answers true or `limit` passed; true when done.
inline bool runLoopUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    runLoop().runOnce(std::chrono::milliseconds(20));
  }
  return true;
}

class NoProxyEnvironment {
 public:
  NoProxyEnvironment() {
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"}) {
      env_.set(name, nullptr);
    }
    env_.set("NO_PROXY", "*");
  }

 private:
  ScopedEnv env_;
};

}  // namespace vmk::testing
