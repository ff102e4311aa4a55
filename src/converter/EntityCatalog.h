// Maps public and system identifiers of external entities to local files, read from OASIS XML
// catalogs and SGML Open Catalogs (the two forms the W3C DTD library installs).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vmk {

class EntityCatalog {
 public:
  // Reads one catalog file; the form is told by its content (an XML catalog starts with "<").
  // Relative file names are taken relative to the catalog's folder. The first entry for an
  // identifier wins. Returns false when the file cannot be read.
  bool load(const std::string& path, std::string* errorOut = nullptr);
  // Adds entries from catalog text, as if read from a file in baseDirectory.
  void loadText(std::string_view text, const std::string& baseDirectory);

  // The catalogs of the installed W3C DTD library that exist on this machine.
  static std::vector<std::string> defaultCatalogPaths();

  // The local file for an identifier; absent when the catalogs do not name one. Public
  // identifiers are compared with white space runs folded to one space.
  std::optional<std::string> fileForPublicId(std::string_view publicId) const;
  std::optional<std::string> fileForSystemId(std::string_view systemId) const;

  size_t size() const { return publicIds_.size() + systemIds_.size(); }

 private:
  void add(bool isPublic, std::string_view id, std::string_view file, const std::string& base);

  std::unordered_map<std::string, std::string> publicIds_;
  std::unordered_map<std::string, std::string> systemIds_;
};

// Public identifiers are compared after folding white space runs to one space and trimming.
std::string normalizePublicId(std::string_view publicId);

}  // namespace vmk
