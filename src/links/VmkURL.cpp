#include "links/VmkURL.h"

#include <array>

namespace vmk {

namespace {

constexpr std::array<bool, 128> makeURLCharacters() {
  std::array<bool, 128> table{};
  for (char c = 'a'; c <= 'z'; ++c) table[static_cast<size_t>(c)] = true;
  for (char c = 'A'; c <= 'Z'; ++c) table[static_cast<size_t>(c)] = true;
  for (char c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = true;
  for (char c : std::string_view("-._~:/?#[]@!$&'()*+,;=%")) table[static_cast<size_t>(c)] = true;
  return table;
}
constexpr std::array<bool, 128> kURLCharacters = makeURLCharacters();

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isValidURLText(std::string_view text) {
  bool fragmentSeen = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 128 || !kURLCharacters[c]) return false;
    if (c == '%') {
      if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) {
        return false;
      }
      i += 2;
    } else if (c == '#') {
      if (fragmentSeen) return false;
      fragmentSeen = true;
    }
  }
  return true;
}

// The path with "." and ".." segments removed (RFC 3986, 5.2.4).
std::string removeDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      const size_t cut = output.rfind('/');
      output.erase(cut == std::string::npos ? 0 : cut);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      const size_t next = input.find('/', input.front() == '/' ? 1 : 0);
      const std::string_view segment = input.substr(0, next);
      output += segment;
      input.remove_prefix(segment.size());
    }
  }
  return output;
}

bool isPathCharacter(unsigned char c) {
  if (isAlpha(static_cast<char>(c)) || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) !=
         std::string_view::npos;
}

}  // namespace

std::string percentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::optional<VmkURL> VmkURL::parse(std::string_view text) {
  if (!isValidURLText(text)) return std::nullopt;
  VmkURL url;
  std::string_view rest = text;
  // A scheme is a letter followed by letters, digits, "+", "-" or ".", up to the first ":".
  if (!rest.empty() && isAlpha(rest.front())) {
    size_t i = 1;
    while (i < rest.size() && (isAlpha(rest[i]) || (rest[i] >= '0' && rest[i] <= '9') ||
                               rest[i] == '+' || rest[i] == '-' || rest[i] == '.')) {
      ++i;
    }
    if (i < rest.size() && rest[i] == ':') {
      std::string scheme(rest.substr(0, i));
      for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      url.scheme_ = std::move(scheme);
      rest.remove_prefix(i + 1);
    }
  }
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    url.hasAuthority_ = true;
    const size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest.remove_prefix(authority.size());
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
      url.userInfo_ = std::string(authority.substr(0, at));
      authority.remove_prefix(at + 1);
    }
    // The port follows the last ":" that is not inside an IPv6 address's brackets.
    const size_t bracket = authority.rfind(']');
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
      url.port_ = std::string(authority.substr(colon + 1));
      authority = authority.substr(0, colon);
    }
    url.host_ = std::string(authority);
  }
  const size_t pathEnd = rest.find_first_of("?#");
  url.path_ = std::string(rest.substr(0, pathEnd));
  if (url.path_.find_first_of("[]") != std::string::npos) return std::nullopt;
  rest.remove_prefix(url.path_.size());
  if (rest.starts_with('?')) {
    const size_t end = rest.find('#');
    url.query_ = std::string(rest.substr(1, end == std::string_view::npos ? end : end - 1));
    rest.remove_prefix(1 + url.query_->size());
  }
  if (rest.starts_with('#')) url.fragment_ = std::string(rest.substr(1));
  url.relativePath_ = percentDecoded(url.path_);
  url.text_ = std::string(text);
  return url;
}

std::optional<VmkURL> VmkURL::parse(std::string_view text, const VmkURL* base) {
  std::optional<VmkURL> reference = parse(text);
  if (!reference || !base || !base->hasScheme() || reference->hasScheme()) return reference;
  VmkURL target = *reference;
  target.scheme_ = base->scheme_;
  if (!reference->hasAuthority_) {
    target.hasAuthority_ = base->hasAuthority_;
    target.userInfo_ = base->userInfo_;
    target.host_ = base->host_;
    target.port_ = base->port_;
    if (reference->path_.empty()) {
      target.path_ = base->path_;
      if (!reference->query_) target.query_ = base->query_;
    } else if (reference->path_.front() == '/') {
      target.path_ = removeDotSegments(reference->path_);
    } else {
      std::string merged;
      if (base->hasAuthority_ && base->path_.empty()) {
        merged = "/" + reference->path_;
      } else {
        const size_t cut = base->path_.rfind('/');
        merged = (cut == std::string::npos ? std::string() : base->path_.substr(0, cut + 1)) +
                 reference->path_;
      }
      target.path_ = removeDotSegments(merged);
    }
  } else {
    target.path_ = removeDotSegments(reference->path_);
  }
  target.rebuildText();
  return target;
}

VmkURL VmkURL::fileURLWithPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (isPathCharacter(c)) {
      encoded.push_back(ch);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[c >> 4]);
      encoded.push_back(kHex[c & 15]);
    }
  }
  return *parse("file://" + encoded);
}

std::string VmkURL::decodedPath() const {
  return percentDecoded(path_);
}

VmkURL VmkURL::pageIdentity() const {
  if (path_.empty() || path_ == "/") return *this;
  VmkURL page = *this;
  page.userInfo_.reset();
  page.query_.reset();
  page.fragment_.reset();
  page.rebuildText();
  return page;
}

void VmkURL::rebuildText() {
  text_.clear();
  if (scheme_) text_ += *scheme_ + ":";
  if (hasAuthority_) {
    text_ += "//";
    if (userInfo_) text_ += *userInfo_ + "@";
    text_ += host_;
    if (port_) text_ += ":" + *port_;
  }
  text_ += path_;
  if (query_) text_ += "?" + *query_;
  if (fragment_) text_ += "#" + *fragment_;
}

}  // namespace vmk
