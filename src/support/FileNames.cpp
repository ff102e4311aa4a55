#include "support/FileNames.h"

#include <filesystem>

namespace vmk {

UString displayFileName(UStringView path) {
  // A final separator does not count as a component of its own.
  UStringView trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == u'/') trimmed.remove_suffix(1);
  const size_t slash = trimmed.rfind(u'/');
  UStringView name = slash == UStringView::npos ? trimmed : trimmed.substr(slash + 1);
  UStringView folder;
  if (slash != UStringView::npos)
    folder = slash == 0 ? trimmed.substr(0, 1) : trimmed.substr(0, slash);
  UString shown(name);
  shown += u"  -  ";
  shown += folder;
  return shown;
}

std::string cleanedUpPath(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty()) return path;
  const fs::path given(path);
  std::error_code error;
  // Resolves the links of the part of the path that exists; the rest is only tidied.
  fs::path resolved = fs::weakly_canonical(given, error);
  if (error || resolved.empty()) resolved = given;
  fs::path tidied = given.lexically_normal();
  // A relative path that leads through no link stays relative.
  if (given.is_relative() && !error) {
    const fs::path absolute = fs::absolute(given, error).lexically_normal();
    if (!error && absolute == resolved.lexically_normal()) resolved = tidied;
  }
  std::string standardized = resolved.lexically_normal().string();
  while (standardized.size() > 1 && standardized.back() == '/') standardized.pop_back();
  if (standardized.empty()) return resolved.string();
  return standardized;
}

}  // namespace vmk
