#include "converter/EntityCatalog.h"

#include <filesystem>

#include "support/Paths.h"
#include "support/Regex.h"

namespace vmk {

namespace fs = std::filesystem;

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Splits an SGML Open Catalog into its tokens: quoted literals (without their quotes) and
// bare words; "-- ... --" comments are dropped.
std::vector<std::string> catalogTokens(std::string_view text) {
  std::vector<std::string> tokens;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    if (isSpace(text[i])) {
      ++i;
    } else if (text.compare(i, 2, "--") == 0) {
      size_t end = text.find("--", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
    } else if (text[i] == '"' || text[i] == '\'') {
      size_t end = text.find(text[i], i + 1);
      if (end == std::string_view::npos) end = n;
      tokens.emplace_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t start = i;
      while (i < n && !isSpace(text[i]) && text[i] != '"' && text[i] != '\'') ++i;
      tokens.emplace_back(text.substr(start, i - start));
    }
  }
  return tokens;
}

}  // namespace

std::string normalizePublicId(std::string_view publicId) {
  std::string out;
  out.reserve(publicId.size());
  bool pendingSpace = false;
  for (char c : publicId) {
    if (isSpace(c)) {
      pendingSpace = !out.empty();
    } else {
      if (pendingSpace) out += ' ';
      pendingSpace = false;
      out += c;
    }
  }
  return out;
}

void EntityCatalog::add(bool isPublic, std::string_view id, std::string_view file,
                        const std::string& base) {
  if (id.empty() || file.empty()) return;
  std::string_view path = file;
  if (path.starts_with("file://")) path.remove_prefix(7);
  fs::path p(path);
  if (p.is_relative()) p = fs::path(base) / p;
  std::string resolved = p.lexically_normal().string();
  if (isPublic) {
    publicIds_.try_emplace(normalizePublicId(id), std::move(resolved));
  } else {
    systemIds_.try_emplace(std::string(id), std::move(resolved));
  }
}

void EntityCatalog::loadText(std::string_view text, const std::string& baseDirectory) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && text[first] == '<') {
    static const Regex entry(R"(<(public|system)\b([^>]*)>)");
    static const Regex attribute(R"re(([\w:]+)\s*=\s*(?:"([^"]*)"|'([^']*)'))re");
    UString utext = toUtf16(text);
    for (const RegexMatch& m : entry.allMatches(utext)) {
      bool isPublic = *m.text(utext, 1) == u"public";
      UString attrs = *m.text(utext, 2);
      std::string id, uri;
      for (const RegexMatch& a : attribute.allMatches(attrs)) {
        std::string name = toUtf8(*a.text(attrs, 1));
        std::optional<UString> value = a.text(attrs, 2);
        if (!value) value = a.text(attrs, 3);
        std::string v = value ? toUtf8(*value) : std::string();
        if (name == "uri") {
          uri = v;
        } else if (name == (isPublic ? "publicId" : "systemId")) {
          id = v;
        }
      }
      add(isPublic, id, uri, baseDirectory);
    }
    return;
  }
  std::vector<std::string> tokens = catalogTokens(text);
  for (size_t i = 0; i + 2 < tokens.size(); ++i) {
    const std::string& keyword = tokens[i];
    if (keyword == "PUBLIC" || keyword == "SYSTEM") {
      add(keyword == "PUBLIC", tokens[i + 1], tokens[i + 2], baseDirectory);
      i += 2;
    }
  }
}

bool EntityCatalog::load(const std::string& path, std::string* errorOut) {
  std::optional<std::string> text = readFileContents(path, errorOut);
  if (!text) return false;
  loadText(*text, fs::path(path).parent_path().string());
  return true;
}

std::vector<std::string> EntityCatalog::defaultCatalogPaths() {
  static const char* const kCandidates[] = {
      "/usr/share/xml/w3c-sgml-lib/schema/dtd/catalog.xml",
      "/usr/share/xml/w3c-sgml-lib/schema/dtd/sgml.soc",
      "/usr/share/xml/w3c-sgml-lib/schema/dtd/xml.soc",
  };
  std::vector<std::string> found;
  std::error_code ec;
  for (const char* candidate : kCandidates) {
    if (fs::is_regular_file(candidate, ec)) found.emplace_back(candidate);
  }
  return found;
}

std::optional<std::string> EntityCatalog::fileForPublicId(std::string_view publicId) const {
  auto it = publicIds_.find(normalizePublicId(publicId));
  if (it == publicIds_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> EntityCatalog::fileForSystemId(std::string_view systemId) const {
  auto it = systemIds_.find(std::string(systemId));
  if (it == systemIds_.end()) return std::nullopt;
  return it->second;
}

}  // namespace vmk
