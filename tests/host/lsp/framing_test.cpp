// Frames cut from a byte stream, and a server that answers malformed frames and bodies with
// JSON-RPC errors and goes on.
#include <gtest/gtest.h>

#include "LspTestSupport.h"
#include "host/lsp/DiagnosticsWriter.h"
#include "host/lsp/JsonRpc.h"

namespace vmk::testing {
namespace {

using lsp::Frame;
using lsp::FrameReader;

std::vector<std::string> bodiesOf(FrameReader& reader) {
  std::vector<std::string> out;
  while (std::optional<Frame> frame = reader.next()) {
    out.push_back(frame->headerError ? "error: " + *frame->headerError : frame->body);
  }
  return out;
}

TEST(FrameReader, FramesArriveWholeOrByteByByte) {
  const std::string stream = lsp::frameBody("{\"a\":1}") + lsp::frameBody("{\"b\":\"\xC3\xA9\"}");
  FrameReader whole;
  whole.feed(stream);
  EXPECT_EQ(bodiesOf(whole), (std::vector<std::string>{"{\"a\":1}", "{\"b\":\"\xC3\xA9\"}"}));

  FrameReader bytewise;
  std::vector<std::string> bodies;
  for (char c : stream) {
    bytewise.feed(std::string_view(&c, 1));
    for (std::string& body : bodiesOf(bytewise)) bodies.push_back(body);
  }
  EXPECT_EQ(bodies, (std::vector<std::string>{"{\"a\":1}", "{\"b\":\"\xC3\xA9\"}"}));
  EXPECT_EQ(bytewise.pending(), 0u);
}

TEST(FrameReader, HeadersInAnyCaseWithOtherFieldsAndBareLineFeeds) {
  FrameReader reader;
  reader.feed(
      "content-length: 2\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n{}"
      "Content-Length:3\n\n[1]");
  EXPECT_EQ(bodiesOf(reader), (std::vector<std::string>{"{}", "[1]"}));
}

TEST(FrameReader, BadHeadersAreReportedAndSkipped) {
  FrameReader reader;
  reader.feed(
      "Content-Type: text/plain\r\n\r\n"           // no length
      "Content-Length: twelve\r\n\r\n"             // not a number
      "Content-Length: -1\r\n\r\n"                 // not a number either
      "garbage line\r\nContent-Length: 2\r\n\r\n"  // a line without a colon
      "Content-Length: 2\r\n\r\n{}");
  EXPECT_EQ(bodiesOf(reader), (std::vector<std::string>{
                                  "error: no Content-Length header",
                                  "error: Content-Length is not a number",
                                  "error: Content-Length is not a number",
                                  "error: header line without a colon",
                                  "{}",
                              }));
}

TEST(FrameReader, AnOversizedBodyIsSkippedAsItArrives) {
  FrameReader reader(16);
  reader.feed("Content-Length: 40\r\n\r\n0123456789");
  EXPECT_EQ(bodiesOf(reader),
            (std::vector<std::string>{"error: message of 40 bytes is too large"}));
  reader.feed(std::string(30, 'x') + lsp::frameBody("{}"));
  EXPECT_EQ(bodiesOf(reader), (std::vector<std::string>{"{}"}));
}

TEST(FrameReader, EndlessHeaderIsDroppedUpToTheNextHeader) {
  FrameReader reader;
  reader.feed(std::string(70 * 1024, 'z'));
  reader.feed(lsp::frameBody("{}"));
  EXPECT_EQ(bodiesOf(reader), (std::vector<std::string>{"error: header too long", "{}"}));
}

// ---- the server's answers ----

int errorCodeOf(const json& response) {
  return response.contains("error") ? response["error"]["code"].get<int>() : 0;
}

TEST(MalformedMessages, EachGetsAnErrorAndTheServerGoesOn) {
  TestClient client;
  client.sendRaw("Content-Length: 5\r\n\r\n{oops");
  client.sendRaw("Content-Length: x\r\n\r\n");
  client.sendRaw(lsp::frameBody("[1,2]"));
  client.sendRaw(lsp::frameBody("42"));
  client.sendRaw(lsp::frameBody("{\"jsonrpc\":\"2.0\",\"id\":7}"));
  client.sendRaw(lsp::frameBody("{\"jsonrpc\":\"1.0\",\"id\":8,\"method\":\"shutdown\"}"));
  client.sendRaw(lsp::frameBody("{\"jsonrpc\":\"2.0\",\"id\":[1],\"method\":\"x\"}"));
  std::vector<std::pair<json, int>> answers;
  for (const json& message : client.takeAll())
    answers.emplace_back(message["id"], errorCodeOf(message));
  EXPECT_EQ(answers, (std::vector<std::pair<json, int>>{
                         {nullptr, lsp::kParseError},
                         {nullptr, lsp::kParseError},
                         {nullptr, lsp::kInvalidRequest},
                         {nullptr, lsp::kInvalidRequest},
                         {7, lsp::kInvalidRequest},
                         {8, lsp::kInvalidRequest},
                         {nullptr, lsp::kInvalidRequest},
                     }));
  // Still serving.
  const json initialized = client.initialize();
  EXPECT_TRUE(initialized["result"].contains("capabilities"));
}

TEST(MalformedMessages, HostileBodies) {
  TestClient client;
  client.initialize();
  // Text that is not UTF-8, nesting far deeper than any message, values of the wrong kinds.
  client.sendRaw(lsp::frameBody("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"x\xff\"}"));
  client.sendRaw(lsp::frameBody(std::string(200000, '[') + std::string(200000, ']')));
  client.send(lsp::makeRequest(2, "textDocument/hover",
                               {{"textDocument", {{"uri", 5}}}, {"position", "here"}}));
  client.notify("textDocument/didOpen",
                {{"textDocument", {{"uri", "file:///x.html"}, {"text", 3}}}});
  client.notify("textDocument/didChange",
                {{"textDocument", {{"uri", "file:///x.html"}}}, {"contentChanges", "all"}});
  std::vector<int> codes;
  for (const json& message : client.takeAll()) {
    if (message.contains("error")) codes.push_back(message["error"]["code"]);
  }
  EXPECT_EQ(codes, (std::vector<int>{lsp::kParseError, lsp::kInvalidRequest, lsp::kInvalidParams}));
  EXPECT_FALSE(client.server().finished());
  EXPECT_TRUE(client.request("shutdown")["result"].is_null());
}

TEST(MalformedMessages, RequestsOutOfOrderOrOfUnknownThings) {
  TestClient client;
  EXPECT_EQ(errorCodeOf(client.request("textDocument/hover")), lsp::kServerNotInitialized);
  // Notifications before initialize are dropped without an answer.
  client.open("file:///nowhere/a.html", "<p>");
  EXPECT_TRUE(client.takeAll().empty());
  client.initialize();
  EXPECT_EQ(errorCodeOf(client.request("initialize", {{"capabilities", json::object()}})),
            lsp::kInvalidRequest);
  EXPECT_EQ(errorCodeOf(client.request("workspace/symbol", {{"query", ""}})), lsp::kMethodNotFound);
  const json position{{"line", 0}, {"character", 0}};
  EXPECT_EQ(errorCodeOf(client.request("textDocument/hover",
                                       {{"textDocument", {{"uri", "file:///never/opened.html"}}},
                                        {"position", position}})),
            lsp::kInvalidParams);
  client.open("file:///nowhere/b.html", "<p>x");
  EXPECT_EQ(errorCodeOf(client.request("textDocument/hover",
                                       {{"textDocument", {{"uri", "file:///nowhere/b.html"}}}})),
            lsp::kInvalidParams);
  EXPECT_EQ(errorCodeOf(client.request("textDocument/hover",
                                       {{"textDocument", {{"uri", "file:///nowhere/b.html"}}},
                                        {"position", {{"line", "one"}, {"character", 0}}}})),
            lsp::kInvalidParams);
  // A notification with bad parameters is logged, not answered.
  client.takeAll();
  client.notify("textDocument/didChange", {{"textDocument", {{"uri", "file:///nowhere/b.html"}}}});
  const std::vector<json> logs = client.take("window/logMessage");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(client.takeAll().empty());
  // Unknown notifications and "$/" ones are ignored.
  client.notify("$/setTrace", {{"value", "off"}});
  client.notify("something/else");
  EXPECT_TRUE(client.takeAll().empty());
}

TEST(Lifecycle, ShutdownThenExitEndsWithZeroAndRefusesRequestsBetween) {
  TestClient client;
  client.initialize();
  const json response = client.request("shutdown");
  EXPECT_TRUE(response.contains("result") && response["result"].is_null());
  EXPECT_EQ(errorCodeOf(client.request("textDocument/completion")), lsp::kInvalidRequest);
  EXPECT_FALSE(client.server().finished());
  client.notify("exit");
  EXPECT_TRUE(client.server().finished());
  EXPECT_EQ(client.server().exitCode(), 0);
}

TEST(Lifecycle, ExitWithoutShutdownEndsWithOne) {
  TestClient client;
  client.initialize();
  client.notify("exit");
  EXPECT_TRUE(client.server().finished());
  EXPECT_EQ(client.server().exitCode(), 1);
}

}  // namespace
}  // namespace vmk::testing

namespace vmk::testing {
namespace {

std::string jsonString(std::string_view text) {
  std::string out;
  lsp::appendJsonString(out, text);
  return out;
}

TEST(JsonText, EscapesWhatJsonNeedsAndReplacesBytesThatAreNotUtf8) {
  EXPECT_EQ(jsonString("a\"b\\c\nd\te\x01"), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
  EXPECT_EQ(jsonString("caf\xC3\xA9 \xF0\x9F\x98\x80"), "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"");
  // A lone continuation byte, a truncated sequence, an overlong form, an encoded surrogate.
  EXPECT_EQ(jsonString("\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80"),
            "\"\\ufffd|\\ufffd\\ufffd|\\ufffd\\ufffd|\\ufffd\\ufffd\\ufffd\"");
  EXPECT_NO_THROW(json::parse(jsonString("\xFF\xFE\x00x")));
}

}  // namespace
}  // namespace vmk::testing
