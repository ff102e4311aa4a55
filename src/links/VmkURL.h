// A URL as the link checker sees it: parsed strictly into its generic parts, resolved against a
// base (relative resolution of RFC 3986 over the same parts), and given back as text. Only
// characters allowed in a URL parse: a link with a space, a quotation mark or a character
// outside ASCII is "not a URL at all" and is reported as such rather than repaired.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vmk {

class VmkURL {
 public:
  // The text as a URL reference (absolute or relative); absent when it holds characters a URL
  // cannot hold, a "%" without two hexadecimal digits, or a second "#".
  static std::optional<VmkURL> parse(std::string_view text);
  // The reference resolved against `base` (when there is one and the reference is relative);
  // absent when the reference does not parse.
  static std::optional<VmkURL> parse(std::string_view text, const VmkURL* base);
  // The file URL of an absolute path ("file:///a%20b/c.html").
  static VmkURL fileURLWithPath(std::string_view path);

  // The full text: the resolved URL, or the reference as written when there was no base.
  const std::string& absoluteString() const { return text_; }
  bool hasScheme() const { return scheme_.has_value(); }
  // Lower case.
  const std::optional<std::string>& scheme() const { return scheme_; }
  bool isFileURL() const { return scheme_ && *scheme_ == "file"; }
  bool isHTTP() const { return scheme_ && (*scheme_ == "http" || *scheme_ == "https"); }
  // The host as written (brackets of an IPv6 address kept); "" when there is none.
  const std::string& host() const { return host_; }
  const std::optional<std::string>& port() const { return port_; }
  const std::optional<std::string>& userInfo() const { return userInfo_; }
  bool hasAuthority() const { return hasAuthority_; }
  const std::string& path() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  // The path as written in the reference this URL was resolved from, percent escapes decoded.
  const std::string& relativePath() const { return relativePath_; }
  // The path with percent escapes decoded (for a file URL, the file's path).
  std::string decodedPath() const;

  // The URL a site check knows a page by: the whole URL when its path is "/" or empty, else
  // scheme, authority without user information, and path (query and fragment dropped; the
  // port is part of the page's address and stays).
  VmkURL pageIdentity() const;

  friend bool operator==(const VmkURL& a, const VmkURL& b) { return a.text_ == b.text_; }

 private:
  VmkURL() = default;
  void rebuildText();

  std::optional<std::string> scheme_;
  bool hasAuthority_ = false;
  std::optional<std::string> userInfo_;
  std::string host_;
  std::optional<std::string> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
  std::string relativePath_;
  std::string text_;
};

// Percent escapes decoded (an escape that is not one stays as written).
std::string percentDecoded(std::string_view text);

}  // namespace vmk
