#include "dictionary/DictionaryFolder.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "support/Log.h"
#include "support/Paths.h"

namespace vmk {

namespace fs = std::filesystem;

namespace {

struct NameList {
  bool built = false;
  std::vector<UString> names;
};

NameList& nameList() {
  static NameList list;
  return list;
}

// Anything but a folder (a file, a link to nothing) at the path is removed.
void removeNonFolder(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return;
  if (fs::exists(fs::symlink_status(path, ec))) fs::remove(path, ec);
}

// The shipped entry's permissions and modification time (links followed), on its copy.
void copyFileAttributes(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  const fs::file_status status = fs::status(from, ec);
  if (ec) return;
  fs::permissions(to, status.permissions(), fs::perm_options::replace, ec);
  const fs::file_time_type modified = fs::last_write_time(from, ec);
  if (!ec) fs::last_write_time(to, modified, ec);
}

// Copies the shipped dictionaries into a fresh folder beside the target and renames it into
// place, so that the folder appears complete or not at all. Entries that fail to copy are left
// out (logged); the rest is installed.
void installShippedDictionaries(const fs::path& target) {
  std::error_code ec;
  const fs::path shipped = resourcePath("dictionaries");
  if (!fs::is_directory(shipped, ec)) {
    logPluginProblem("no shipped dictionaries at " + shipped.string());
    return;
  }
  fs::create_directories(target.parent_path(), ec);
  const fs::path staging =
      target.string() + ".installing-" + std::to_string(static_cast<long>(::getpid()));
  fs::remove_all(staging, ec);
  if (!fs::create_directory(staging, ec)) {
    logPluginProblem("cannot create " + staging.string() + ": " + ec.message());
    return;
  }
  for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path from = it->path();
    const fs::path to = staging / from.filename();
    std::error_code copyError;
    fs::copy(from, to, fs::copy_options::recursive, copyError);
    if (copyError) {
      logPluginProblem("cannot install dictionary " + from.string() + ": " + copyError.message());
      continue;
    }
    copyFileAttributes(from, to);
  }
  removeNonFolder(target);
  fs::rename(staging, target, ec);
  if (ec) {
    logPluginProblem("cannot install dictionaries at " + target.string() + ": " + ec.message());
    fs::remove_all(staging, ec);
  }
}

// "name.ext" -> "name"; a leading dot does not start an extension.
UString withoutExtension(const UString& fileName) {
  const size_t dot = fileName.rfind(u'.');
  if (dot == UString::npos || dot == 0) return fileName;
  return fileName.substr(0, dot);
}

std::vector<UString> listDictionaryNames(const fs::path& folder) {
  std::vector<UString> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(toUtf16(it->path().filename().string()));
  }
  std::sort(entries.begin(), entries.end(), [](const UString& a, const UString& b) {
    const int order = caseInsensitiveCompare(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  std::vector<UString> names;
  for (const UString& entry : entries) {
    UString name = withoutExtension(entry);
    if (name.empty() || name.front() == u'.') continue;
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

std::string velumarkXSupportDirectoryPath() {
  return velumarkDataDirectory();
}

std::string dictionariesFolderPath() {
  return velumarkXSupportDirectoryPath() + "/dictionaries";
}

std::string dictionaryPathForName(UStringView name) {
  return dictionariesFolderPath() + "/" + toUtf8(name) + ".dict";
}

bool createVelumarkXSupportDirectory() {
  const fs::path folder = velumarkXSupportDirectoryPath();
  removeNonFolder(folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

void initDictionaries() {
  const fs::path folder = dictionariesFolderPath();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) installShippedDictionaries(folder);
  NameList& list = nameList();
  list.names = listDictionaryNames(folder);
  list.built = true;
}

const std::vector<UString>& htmlDictionaryNames() {
  NameList& list = nameList();
  if (!list.built) initDictionaries();
  return list.names;
}

}  // namespace vmk
