#include "links/NetworkSession.h"

#include <gtest/gtest.h>

#include <memory>

#include "LinkTestSupport.h"
#include "TestHttpServer.h"

namespace vmk {
namespace {

// Writes down what a request tells it.
struct Recorder : LinkRequestDelegate {
  std::vector<std::string> sent;
  std::optional<LinkResponse> response;
  std::optional<LinkError> error;
  int finishedLoading = 0;
  int calls = 0;
  std::function<void()> onResponse;

  void willSendRequest(const std::string& url, const LinkResponse* redirect) override {
    sent.push_back(redirect ? "redirect:" + url : url);
  }
  void didReceiveResponse(const LinkResponse& r) override {
    ++calls;
    response = r;
    if (onResponse) onResponse();
  }
  void didFail(const LinkError& e) override {
    ++calls;
    error = e;
  }
  void didFinishLoading() override {
    ++calls;
    ++finishedLoading;
  }
  bool heard() const { return calls > 0; }
};

class NetworkSessionTest : public ::testing::Test {
 protected:
  testing::NoProxyEnvironment noProxy;
  test::TestHttpServer server;
  NetworkSession session{runLoop()};

  std::unique_ptr<LinkConnection> start(const std::string& url, Recorder& recorder,
                                        double timeout = 10) {
    return session.start(*VmkURL::parse(url), timeout, recorder);
  }
};

TEST_F(NetworkSessionTest, TheFinalHeadIsTheAnswerAndTheBodyIsNotRead) {
  Recorder ok, missing, teapot, continued;
  auto a = start(server.url("/html"), ok);
  auto b = start(server.url("/status/404"), missing);
  auto c = start(server.url("/status/418"), teapot);
  auto d = start(server.url("/continue/503"), continued);
  ASSERT_TRUE(testing::runLoopUntil(
      [&] { return ok.heard() && missing.heard() && teapot.heard() && continued.heard(); }));
  EXPECT_EQ(ok.response->statusCode, 200);
  EXPECT_EQ(ok.response->mimeType, "text/html");
  EXPECT_EQ(ok.sent, std::vector<std::string>{server.url("/html")});
  EXPECT_EQ(missing.response->statusCode, 404);
  EXPECT_EQ(teapot.response->statusCode, 418);
  // The 100 Continue head is passed over.
  EXPECT_EQ(continued.response->statusCode, 503);
  EXPECT_EQ(continued.calls, 1);
  // Each was asked for once and said its word once, also after the transfer was cut short.
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(ok.calls + missing.calls + teapot.calls + continued.calls, 4);
  EXPECT_EQ(server.requestCount("/html"), 1u);
}

TEST_F(NetworkSessionTest, RedirectsAreReportedWithTheirTargetAndNeverFollowed) {
  Recorder relative, absolute;
  auto a = start(server.url("/status/301"), relative);
  auto b = start(server.url("/status/307?to=http://127.0.0.1:1/elsewhere"), absolute);
  ASSERT_TRUE(testing::runLoopUntil([&] { return relative.heard() && absolute.heard(); }));
  EXPECT_EQ(relative.response->statusCode, 301);
  EXPECT_EQ(relative.sent, (std::vector<std::string>{server.url("/status/301"),
                                                     "redirect:" + server.url("/target/301")}));
  EXPECT_EQ(absolute.sent.back(), "redirect:http://127.0.0.1:1/elsewhere");
  EXPECT_EQ(server.requestCount("/target/301"), 0u);
}

TEST_F(NetworkSessionTest, FailuresCarryTheLayersDescription) {
  Recorder refused, unsupported, file;
  // Port 1 on the loopback address: nothing listens there.
  auto a = start("http://127.0.0.1:1/x", refused);
  EXPECT_EQ(start("mailto:someone@example.org", unsupported), nullptr);
  EXPECT_EQ(start("file:///nonexistent/velumark/file.html", file), nullptr);
  // Answered at once.
  ASSERT_TRUE(unsupported.error && file.error);
  EXPECT_EQ(unsupported.error->kind, LinkError::Kind::UnsupportedURL);
  EXPECT_EQ(file.error->kind, LinkError::Kind::FileNotFound);
  ASSERT_TRUE(testing::runLoopUntil([&] { return refused.heard(); }));
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->kind, LinkError::Kind::Other);
  EXPECT_NE(refused.error->description.find("onnect"), std::string::npos)
      << refused.error->description;
}

TEST_F(NetworkSessionTest, TheTimeOutEndsASlowAnswerWithinASecondOfIt) {
  Recorder slow;
  const auto started = std::chrono::steady_clock::now();
  auto a = start(server.url("/slow/5000"), slow, 1.0);
  ASSERT_TRUE(testing::runLoopUntil([&] { return slow.heard(); }));
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(slow.error);
  EXPECT_NE(slow.error->description.find("timed out"), std::string::npos)
      << slow.error->description;
  EXPECT_GE(took, std::chrono::milliseconds(950));
  EXPECT_LT(took, std::chrono::milliseconds(2000));
}

TEST_F(NetworkSessionTest, QueuedRequestsWaitOutsideTheirTimeOutAndRespectTheLimits) {
  session.setLimits(4, 2);
  std::vector<std::unique_ptr<Recorder>> recorders;
  std::vector<std::unique_ptr<LinkConnection>> connections;
  // Sixteen answers of 400 ms each, two at a time: the last waits longer than its time-out of
  // 2.5 seconds, and still succeeds (each answer keeps two seconds of slack for a loaded
  // machine).
  for (int i = 0; i < 16; ++i) {
    recorders.push_back(std::make_unique<Recorder>());
    connections.push_back(
        start(server.url("/slow/400?n=" + std::to_string(i)), *recorders.back(), 2.5));
  }
  EXPECT_EQ(session.runningCount(), 2u);
  EXPECT_EQ(session.queuedCount(), 14u);
  ASSERT_TRUE(testing::runLoopUntil([&] {
    return std::all_of(recorders.begin(), recorders.end(), [](auto& r) { return r->heard(); });
  }));
  for (auto& r : recorders) EXPECT_TRUE(r->response && r->response->statusCode == 200);
  EXPECT_EQ(session.peakRunningCount(), 2u);
  EXPECT_LE(server.peakRequestsInFlight(), 2);
}

TEST_F(NetworkSessionTest, ACancelledRequestTellsNothingMore) {
  Recorder cancelled, queued;
  session.setLimits(1, 1);
  auto running = start(server.url("/slow/200"), cancelled);
  auto waiting = start(server.url("/html"), queued);
  running->cancel();
  waiting.reset();
  EXPECT_EQ(session.runningCount(), 0u);
  EXPECT_EQ(session.queuedCount(), 0u);
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(400));
  EXPECT_FALSE(cancelled.heard());
  EXPECT_FALSE(queued.heard());
  EXPECT_EQ(server.requestCount("/html"), 0u);
}

TEST_F(NetworkSessionTest, ADelegateMayStopItsOwnRequestInsideTheCallback) {
  Recorder recorder;
  std::unique_ptr<LinkConnection> connection;
  recorder.onResponse = [&] { connection.reset(); };
  connection = start(server.url("/status/200"), recorder);
  ASSERT_TRUE(testing::runLoopUntil([&] { return recorder.heard(); }));
  testing::runLoopUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(recorder.calls, 1);
  EXPECT_EQ(session.runningCount(), 0u);
}

TEST_F(NetworkSessionTest, IPv6LoopbackWorks) {
  std::unique_ptr<test::TestHttpServer> v6;
  try {
    v6 = std::make_unique<test::TestHttpServer>("::1");
  } catch (const std::exception&) {
    GTEST_SKIP() << "no IPv6 loopback";
  }
  Recorder recorder;
  auto a = start(v6->url("/status/410"), recorder);
  ASSERT_TRUE(testing::runLoopUntil([&] { return recorder.heard(); }));
  EXPECT_EQ(recorder.response->statusCode, 410);
}

TEST(ContentType, MediaTypeAndCharsetAreReadWithoutTheirNeighbours) {
  EXPECT_EQ(mediaTypeOf("Text/HTML ; charset=UTF-8"), "text/html");
  EXPECT_EQ(charsetOf("text/html; q=1; charset=\"Shift_JIS\""), "Shift_JIS");
  EXPECT_FALSE(charsetOf("text/html"));
}

}  // namespace
}  // namespace vmk
