// A language server driven in the test's own thread: a run loop whose clock the test moves,
// and a client that frames requests, collects what the server writes and finds the answers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../../plugin/plugin_test_support.h"
#include "host/RunLoop.h"
#include "host/lsp/JsonRpc.h"
#include "host/lsp/LspServer.h"

namespace vmk::testing {

using lsp::json;

// The address of the test buffers (never read: the text comes with didOpen) and the DOCTYPE line
// of their HTML 4.01 Transitional pages.
inline const std::string kPageUri = "file:///nowhere/page.html";
inline const std::string kTransitionalHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\n";

// Timers on a clock that moves only when the test says so; no sockets.
class ManualRunLoop final : public RunLoop {
 public:
  TimerId addTimer(std::chrono::milliseconds delay, TimerCallback callback) override {
    const TimerId id = next_++;
    timers_[{now_ + delay.count(), id}] = std::move(callback);
    return id;
  }
  void cancelTimer(TimerId timer) override {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->first.second == timer) {
        timers_.erase(it);
        return;
      }
    }
  }
  void watchSocket(int, int, SocketCallback) override {}
  void run() override { advance(1 << 30); }
  bool runOnce(std::chrono::milliseconds) override { return false; }
  void stop() override {}

  // Moves the clock on, firing the timers that come due on the way, in order.
  void advance(int64_t milliseconds) {
    const int64_t until = now_ + milliseconds;
    while (!timers_.empty() && timers_.begin()->first.first <= until) {
      auto first = timers_.begin();
      now_ = first->first.first;
      TimerCallback callback = std::move(first->second);
      timers_.erase(first);
      callback();
    }
    now_ = until;
  }
  size_t pending() const { return timers_.size(); }

 private:
  std::map<std::pair<int64_t, TimerId>, TimerCallback> timers_;
  int64_t now_ = 0;
  TimerId next_ = 1;
};

class TestClient {
 public:
  TestClient() : server_(makeServer()) {}
  ~TestClient() {
    server_.reset();
    setRunLoop(nullptr);
  }
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  lsp::LspServer& server() { return *server_; }
  ManualRunLoop& loop() { return loop_; }

  void sendRaw(std::string_view bytes) {
    server_->receive(bytes);
    collect();
  }
  void send(const json& message) { sendRaw(lsp::frameMessage(message)); }
  // Sends a request and answers the response to it (null json when none came).
  json request(std::string_view method, json params = json::object()) {
    const int id = nextId_++;
    send(lsp::makeRequest(id, method, std::move(params)));
    for (auto it = messages_.begin(); it != messages_.end(); ++it) {
      if (it->contains("id") && (*it)["id"] == id && !it->contains("method")) {
        json response = *it;
        messages_.erase(it);
        return response;
      }
    }
    return nullptr;
  }
  void notify(std::string_view method, json params = json::object()) {
    send(lsp::makeNotification(method, std::move(params)));
  }
  // Takes every collected message of a method, in order.
  std::vector<json> take(std::string_view method) {
    std::vector<json> taken;
    std::vector<json> kept;
    for (json& message : messages_) {
      if (message.value("method", "") == method) {
        taken.push_back(std::move(message));
      } else {
        kept.push_back(std::move(message));
      }
    }
    messages_ = std::move(kept);
    return taken;
  }
  // Takes every collected message.
  std::vector<json> takeAll() {
    std::vector<json> all = std::move(messages_);
    messages_.clear();
    return all;
  }
  void advance(int64_t milliseconds) {
    loop_.advance(milliseconds);
    collect();
  }

  json initialize(json options = json::object()) {
    json response = request("initialize", {{"processId", nullptr},
                                           {"rootUri", nullptr},
                                           {"capabilities", json::object()},
                                           {"initializationOptions", std::move(options)}});
    notify("initialized");
    return response;
  }
  void open(const std::string& uri, const std::string& text, int version = 1) {
    notify("textDocument/didOpen",
           {{"textDocument",
             {{"uri", uri}, {"languageId", "html"}, {"version", version}, {"text", text}}}});
  }
  void change(const std::string& uri, int version, int line, int character, int endLine,
              int endCharacter, const std::string& text) {
    notify("textDocument/didChange",
           {{"textDocument", {{"uri", uri}, {"version", version}}},
            {"contentChanges",
             json::array({{{"range",
                            {{"start", {{"line", line}, {"character", character}}},
                             {"end", {{"line", endLine}, {"character", endCharacter}}}}},
                           {"text", text}}})}});
  }

 private:
  std::unique_ptr<lsp::LspServer> makeServer() {
    // Timers of the engine (the link checker's) run on the test's clock too.
    setRunLoop(&loop_);
    return std::make_unique<lsp::LspServer>([this](std::string_view bytes) { reader_.feed(bytes); },
                                            loop_);
  }
  void collect() {
    while (std::optional<lsp::Frame> frame = reader_.next()) {
      ASSERT_FALSE(frame->headerError) << *frame->headerError;
      messages_.push_back(json::parse(frame->body));
    }
  }

  PrivateFolders folders_;
  ManualRunLoop loop_;
  lsp::FrameReader reader_;
  std::vector<json> messages_;
  int nextId_ = 1;
  std::unique_ptr<lsp::LspServer> server_;
};

// Diagnostics as "NUMBER@line:col-line:col" in the order published.
inline std::vector<std::string> diagnosticStrings(const json& publish) {
  std::vector<std::string> out;
  for (const json& d : publish["params"]["diagnostics"]) {
    const json& r = d["range"];
    out.push_back(d["code"].get<std::string>() + "@" +
                  std::to_string(r["start"]["line"].get<int>()) + ":" +
                  std::to_string(r["start"]["character"].get<int>()) + "-" +
                  std::to_string(r["end"]["line"].get<int>()) + ":" +
                  std::to_string(r["end"]["character"].get<int>()));
  }
  return out;
}

// Applies TextEdit[] of the protocol (ascending, apart) to a text, positions counted in UTF-16
// units as the server counts them.
inline std::string appliedEdits(const std::string& text, const json& edits) {
  UString out = toUtf16(text);
  std::vector<size_t> starts{0};
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == u'\n') starts.push_back(i + 1);
  }
  auto offset = [&](const json& position) {
    return starts.at(position["line"].get<size_t>()) + position["character"].get<size_t>();
  };
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    const size_t from = offset((*it)["range"]["start"]);
    const size_t to = offset((*it)["range"]["end"]);
    out.replace(from, to - from, toUtf16((*it)["newText"].get<std::string>()));
  }
  return toUtf8(out);
}

}  // namespace vmk::testing
