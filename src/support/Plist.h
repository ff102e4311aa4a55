// Property-list values and XML property-list files (libplist).
#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vmk {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
// A dictionary keeps the order of its keys as read or inserted.
using PlistDictEntries = std::vector<std::pair<std::string, PlistValue>>;

struct PlistDate {
  double secondsSince1970 = 0;  // UTC
  friend bool operator==(const PlistDate&, const PlistDate&) = default;
};
struct PlistData {
  std::vector<uint8_t> bytes;
  friend bool operator==(const PlistData&, const PlistData&) = default;
};

class PlistDict {
 public:
  const PlistValue* find(std::string_view key) const;
  PlistValue* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  // Inserts or replaces (a replaced key keeps its position).
  void set(std::string key, PlistValue value);
  bool erase(std::string_view key);
  // Appends without looking for an existing key; the caller knows the key is new.
  void append(std::string key, PlistValue value);
  // Defined after PlistValue: some compilers instantiate inline bodies at once, and the
  // entries need a complete value type.
  size_t size() const;
  bool empty() const;
  const PlistDictEntries& entries() const { return entries_; }
  PlistDictEntries::const_iterator begin() const;
  PlistDictEntries::const_iterator end() const;
  friend bool operator==(const PlistDict&, const PlistDict&);

 private:
  PlistDictEntries entries_;
};

class PlistValue {
 public:
  enum class Kind { Bool, Integer, Real, String, Date, Data, Array, Dict };

  PlistValue() : v_(std::string()) {}
  PlistValue(bool b) : v_(b) {}
  // Any integer type (int, int64_t, size_t, ...) is stored as int64_t.
  template <std::integral T>
  requires(!std::same_as<T, bool>) PlistValue(T v) : v_(static_cast<int64_t>(v)) {}
  PlistValue(double v) : v_(v) {}
  PlistValue(const char* s) : v_(std::string(s)) {}
  PlistValue(std::string s) : v_(std::move(s)) {}
  PlistValue(std::string_view s) : v_(std::string(s)) {}
  PlistValue(PlistDate d) : v_(d) {}
  PlistValue(PlistData d) : v_(std::move(d)) {}
  PlistValue(PlistArray a) : v_(std::move(a)) {}
  PlistValue(PlistDict d) : v_(std::move(d)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isBool() const { return kind() == Kind::Bool; }
  bool isInteger() const { return kind() == Kind::Integer; }
  bool isReal() const { return kind() == Kind::Real; }
  bool isNumber() const { return isInteger() || isReal(); }
  bool isString() const { return kind() == Kind::String; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isDict() const { return kind() == Kind::Dict; }

  // Typed access; nullptr when the value is of another kind.
  const std::string* asString() const { return std::get_if<std::string>(&v_); }
  const PlistArray* asArray() const { return std::get_if<PlistArray>(&v_); }
  PlistArray* asArray() { return std::get_if<PlistArray>(&v_); }
  const PlistDict* asDict() const { return std::get_if<PlistDict>(&v_); }
  PlistDict* asDict() { return std::get_if<PlistDict>(&v_); }
  const PlistDate* asDate() const { return std::get_if<PlistDate>(&v_); }
  const PlistData* asData() const { return std::get_if<PlistData>(&v_); }

  // Converting readers, as settings read them: booleans, integers and reals convert among
  // themselves, a string converts by its leading number ("YES"/"true" are true); any other
  // kind reads as false / 0 / 0.0.
  bool boolValue() const;
  int64_t integerValue() const;
  double realValue() const;

  friend bool operator==(const PlistValue&, const PlistValue&) = default;

 private:
  std::variant<bool, int64_t, double, std::string, PlistDate, PlistData, PlistArray, PlistDict> v_;
};

inline size_t PlistDict::size() const {
  return entries_.size();
}
inline bool PlistDict::empty() const {
  return entries_.empty();
}
inline PlistDictEntries::const_iterator PlistDict::begin() const {
  return entries_.begin();
}
inline PlistDictEntries::const_iterator PlistDict::end() const {
  return entries_.end();
}

// Parses XML (or binary) property-list bytes; absent when they are not a property list.
std::optional<PlistValue> parsePlist(std::string_view bytes);
// Reads a property-list file; absent when it is missing, unreadable or malformed.
std::optional<PlistValue> readPlistFile(const std::string& path);
// The XML form of a value.
std::string plistToXml(const PlistValue& value);
// True when a string or a key somewhere in the value holds a NUL character, which a
// property-list file cannot keep (it would be cut short there).
bool plistHoldsNul(const PlistValue& value);
// Writes the XML form atomically (temporary file in the same folder, then rename).
// Returns false and fills *error when the file could not be written, or when the value holds
// a NUL character (see plistHoldsNul); the old file stays.
bool writePlistFile(const std::string& path, const PlistValue& value, std::string* error = nullptr);

}  // namespace vmk
