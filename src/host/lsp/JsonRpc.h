// JSON-RPC 2.0 over a byte stream with Content-Length framing, as language clients speak it:
// a reader that cuts frames out of whatever bytes arrive, and the writing side's framing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vmk::lsp {

using json = nlohmann::json;

// Error codes of JSON-RPC and of the language server protocol.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kServerNotInitialized = -32002;
inline constexpr int kRequestFailed = -32803;
inline constexpr int kRequestCancelled = -32800;

// One frame cut from the stream: its body, or why the bytes before it were no frame.
struct Frame {
  std::string body;
  // Set when the header could not be read; the reader skipped past it and body is empty.
  std::optional<std::string> headerError;
};

class FrameReader {
 public:
  // Frames larger than this are refused (their bytes are skipped, not kept).
  static constexpr size_t kDefaultMaxBody = size_t(512) << 20;
  explicit FrameReader(size_t maxBody = kDefaultMaxBody) : maxBody_(maxBody) {}

  void feed(std::string_view bytes) { buffer_.append(bytes); }
  // The next complete frame, or absent until more bytes arrive. A header without a usable
  // Content-Length gives a frame with headerError set; the reader then goes on at the next
  // line that starts a header.
  std::optional<Frame> next();
  // Bytes received and not yet taken.
  size_t pending() const { return buffer_.size() - start_; }

 private:
  void consume(size_t count);
  std::string buffer_;
  size_t start_ = 0;
  // Bytes of an oversized body still to be skipped as they arrive.
  size_t skipping_ = 0;
  size_t maxBody_;
};

// "Content-Length: N\r\n\r\n" followed by the body.
std::string frameBody(std::string_view body);
std::string frameMessage(const json& message);

// Builders of the three kinds of message.
json makeResponse(const json& id, json result);
json makeErrorResponse(const json& id, int code, std::string_view message);
json makeNotification(std::string_view method, json params);
json makeRequest(const json& id, std::string_view method, json params);

}  // namespace vmk::lsp
