#include "errors/MessageTables.h"

#include <map>
#include <mutex>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "support/Log.h"
#include "support/Paths.h"

namespace vmk {

namespace {

using Table = std::unordered_map<std::string, std::string>;

Table loadTable(std::string_view name) {
  Table table;
  std::string path = resourcePath("strings/" + std::string(name) + ".json");
  std::string error;
  std::optional<std::string> bytes = readFileContents(path, &error);
  if (!bytes) {
    logPluginProblem("message table " + path + " cannot be read: " + error);
    return table;
  }
  nlohmann::json json = nlohmann::json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) {
    logPluginProblem("message table " + path + " is not a JSON object");
    return table;
  }
  for (auto it = json.begin(); it != json.end(); ++it) {
    if (it.value().is_string()) table.emplace(it.key(), it.value().get<std::string>());
  }
  return table;
}

const Table& tableNamed(std::string_view name) {
  // Tables are loaded on first use, from whichever thread asks first; once loaded they are
  // only read (map nodes keep their addresses).
  static std::mutex mutex;
  static std::map<std::string, Table, std::less<>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = tables.find(name);
  if (it == tables.end()) it = tables.emplace(std::string(name), loadTable(name)).first;
  return it->second;
}

const std::string* find(std::string_view table, std::string_view key) {
  const Table& t = tableNamed(table);
  auto it = t.find(std::string(key));
  return it == t.end() ? nullptr : &it->second;
}

}  // namespace

std::string localizedStringUtf8(std::string_view table, std::string_view key) {
  const std::string* s = find(table, key);
  return s ? *s : std::string(key);
}

UString localizedString(std::string_view table, std::string_view key) {
  return toUtf16(localizedStringUtf8(table, key));
}

bool hasLocalizedString(std::string_view table, std::string_view key) {
  return find(table, key) != nullptr;
}

}  // namespace vmk
