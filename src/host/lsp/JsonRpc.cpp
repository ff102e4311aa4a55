#include "host/lsp/JsonRpc.h"

#include <charconv>

namespace vmk::lsp {
namespace {

// A header block longer than this without its closing empty line is taken for garbage.
constexpr size_t kMaxHeaderBytes = 64 * 1024;

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

void FrameReader::consume(size_t count) {
  start_ += count;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > (1u << 20) && start_ > buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
}

std::optional<Frame> FrameReader::next() {
  if (skipping_ > 0) {
    const size_t skip = std::min(skipping_, pending());
    consume(skip);
    skipping_ -= skip;
    if (skipping_ > 0) return std::nullopt;
  }
  const std::string_view rest = std::string_view(buffer_).substr(start_);
  // Blank lines between frames are tolerated.
  size_t lead = 0;
  while (lead < rest.size() && (rest[lead] == '\r' || rest[lead] == '\n')) ++lead;
  if (lead > 0) {
    consume(lead);
    return next();
  }

  // The header block: lines ending in CRLF (a bare LF is accepted), closed by an empty line.
  std::optional<size_t> contentLength;
  std::optional<std::string> problem;
  size_t position = 0;
  for (;;) {
    const size_t lineEnd = rest.find('\n', position);
    if (lineEnd == std::string_view::npos || lineEnd > kMaxHeaderBytes) {
      if (lineEnd == std::string_view::npos && rest.size() <= kMaxHeaderBytes) return std::nullopt;
      // No end in sight: drop what came so far, up to a place where a header seems to start.
      const size_t resume = rest.find("Content-Length", 1);
      consume(resume == std::string_view::npos ? rest.size() : resume);
      return Frame{{}, "header too long"};
    }
    const std::string_view line = trimmed(rest.substr(position, lineEnd - position));
    position = lineEnd + 1;
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      if (!problem) problem = "header line without a colon";
      continue;
    }
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (!equalsIgnoringAsciiCase(name, "Content-Length")) continue;
    size_t length = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty()) {
      if (!problem) problem = "Content-Length is not a number";
      continue;
    }
    contentLength = length;
  }
  if (!problem && !contentLength) problem = "no Content-Length header";
  if (problem) {
    consume(position);
    return Frame{{}, std::move(problem)};
  }
  if (*contentLength > maxBody_) {
    consume(position);
    const size_t skip = std::min(*contentLength, pending());
    consume(skip);
    skipping_ = *contentLength - skip;
    return Frame{{}, "message of " + std::to_string(*contentLength) + " bytes is too large"};
  }
  if (rest.size() - position < *contentLength) return std::nullopt;
  Frame frame{std::string(rest.substr(position, *contentLength)), std::nullopt};
  consume(position + *contentLength);
  return frame;
}

std::string frameBody(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out.append(body);
  return out;
}

std::string frameMessage(const json& message) {
  // Invalid UTF-8 in a text (which a document may carry into a message) is replaced rather
  // than thrown over.
  const std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
  return frameBody(body);
}

json makeResponse(const json& id, json result) {
  return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

json makeErrorResponse(const json& id, int code, std::string_view message) {
  return json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", json{{"code", code}, {"message", std::string(message)}}}};
}

json makeNotification(std::string_view method, json params) {
  return json{{"jsonrpc", "2.0"}, {"method", std::string(method)}, {"params", std::move(params)}};
}

json makeRequest(const json& id, std::string_view method, json params) {
  return json{{"jsonrpc", "2.0"},
              {"id", id},
              {"method", std::string(method)},
              {"params", std::move(params)}};
}

}  // namespace vmk::lsp
