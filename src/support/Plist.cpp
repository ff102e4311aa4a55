// Property lists through libplist.
#include "support/Plist.h"

#include <plist/plist.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

#include "support/Paths.h"

namespace vmk {
namespace {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
constexpr double kReferenceDateOffset = 978307200.0;
// Deeper nesting than this is not a property list we wrote; refuse it rather than recurse.
constexpr int kMaxDepth = 512;

struct NodeDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

uint64_t readBigEndian(std::string_view bytes, size_t at, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < size; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// libplist aborts (an assertion) when it hands out a string or key of a binary list that holds
// a NUL character. Such a list is damaged anyway: look through its string objects first and
// refuse it. Anything else that is wrong is left to libplist, which reports it.
bool binaryStringsHoldNoNul(std::string_view b) {
  constexpr size_t kTrailer = 32;
  if (b.size() < 8 + kTrailer) return true;
  const size_t body = b.size() - kTrailer;
  const size_t offsetSize = static_cast<unsigned char>(b[body + 6]);
  const uint64_t count = readBigEndian(b, body + 8, 8);
  const uint64_t table = readBigEndian(b, body + 24, 8);
  if (offsetSize < 1 || offsetSize > 8 || table > body || count > (body - table) / offsetSize)
    return true;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t at = readBigEndian(b, size_t(table + i * offsetSize), offsetSize);
    if (at >= body) continue;
    const auto marker = static_cast<unsigned char>(b[at]);
    const unsigned type = marker >> 4;
    if (type != 5 && type != 6) continue;  // ASCII and UTF-16 strings
    uint64_t length = marker & 0xF;
    size_t p = size_t(at) + 1;
    if (length == 0xF) {
      if (p >= body) return false;
      const auto intMarker = static_cast<unsigned char>(b[p]);
      const size_t intSize = size_t(1) << (intMarker & 0xF);
      if ((intMarker >> 4) != 1 || intSize > 8 || p + 1 + intSize > body) return false;
      length = readBigEndian(b, p + 1, intSize);
      p += 1 + intSize;
    }
    const uint64_t unit = type == 5 ? 1 : 2;
    if (length > (body - p) / unit) return false;
    for (uint64_t k = 0; k < length; ++k) {
      const size_t q = p + size_t(k * unit);
      if (b[q] == 0 && (unit == 1 || b[q + 1] == 0)) return false;
    }
  }
  return true;
}

std::optional<PlistValue> fromNode(plist_t node, int depth);

std::optional<PlistValue> arrayFromNode(plist_t node, int depth) {
  PlistArray array;
  const uint32_t n = plist_array_get_size(node);
  array.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    plist_t item = plist_array_get_item(node, i);
    if (!item) return std::nullopt;
    auto value = fromNode(item, depth + 1);
    if (!value) return std::nullopt;
    array.push_back(std::move(*value));
  }
  return PlistValue(std::move(array));
}

std::optional<PlistValue> dictFromNode(plist_t node, int depth) {
  PlistDict dict;
  std::unordered_map<std::string, size_t> seen;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(node, &iter);
  if (!iter) return PlistValue(std::move(dict));
  std::unique_ptr<void, FreeDeleter> iterOwner(iter);
  for (;;) {
    char* rawKey = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, iter, &rawKey, &item);
    std::unique_ptr<char, FreeDeleter> key(rawKey);
    if (!item) break;
    if (!key) return std::nullopt;
    auto value = fromNode(item, depth + 1);
    if (!value) return std::nullopt;
    std::string k(key.get());
    if (seen.count(k)) {
      dict.set(std::move(k), std::move(*value));  // a repeated key: the last one wins
    } else {
      seen.emplace(k, dict.size());
      dict.append(std::move(k), std::move(*value));
    }
  }
  return PlistValue(std::move(dict));
}

std::optional<PlistValue> fromNode(plist_t node, int depth) {
  if (depth > kMaxDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return PlistValue(b != 0);
    }
    case PLIST_UINT: {
      // Integers are stored as 64 bits; negative ones are their two's complement.
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return PlistValue(static_cast<int64_t>(u));
    }
    case PLIST_UID: {
      uint64_t u = 0;
      plist_get_uid_val(node, &u);
      return PlistValue(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return PlistValue(d);
    }
    case PLIST_STRING: {
      // Read through the pointer and length: a damaged binary list may hold a string with an
      // embedded NUL, which the copying reader refuses with an assertion.
      uint64_t length = 0;
      const char* raw = plist_get_string_ptr(node, &length);
      return PlistValue(raw ? std::string(raw, strnlen(raw, length)) : std::string());
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return PlistValue(PlistDate{double(sec) + double(usec) / 1e6 + kReferenceDateOffset});
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* raw = plist_get_data_ptr(node, &length);
      PlistData data;
      if (raw && length) data.bytes.assign(raw, raw + length);
      return PlistValue(std::move(data));
    }
    case PLIST_ARRAY:
      return arrayFromNode(node, depth);
    case PLIST_DICT:
      return dictFromNode(node, depth);
    default:
      return std::nullopt;
  }
}

plist_t toNode(const PlistValue& value) {
  switch (value.kind()) {
    case PlistValue::Kind::Bool:
      return plist_new_bool(value.boolValue() ? 1 : 0);
    case PlistValue::Kind::Integer:
      return plist_new_uint(static_cast<uint64_t>(value.integerValue()));
    case PlistValue::Kind::Real:
      return plist_new_real(value.realValue());
    case PlistValue::Kind::String:
      return plist_new_string(value.asString()->c_str());
    case PlistValue::Kind::Date: {
      double relative = value.asDate()->secondsSince1970 - kReferenceDateOffset;
      double whole = std::floor(relative);
      constexpr double lo = std::numeric_limits<int32_t>::min();
      constexpr double hi = std::numeric_limits<int32_t>::max();
      if (!(whole >= lo)) whole = lo;  // also catches NaN
      if (whole > hi) whole = hi;
      auto usec = int32_t(std::lround((relative - whole) * 1e6));
      if (usec < 0 || usec >= 1000000) usec = 0;
      return plist_new_date(int32_t(whole), usec);
    }
    case PlistValue::Kind::Data: {
      const auto& bytes = value.asData()->bytes;
      return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case PlistValue::Kind::Array: {
      plist_t node = plist_new_array();
      for (const auto& item : *value.asArray()) plist_array_append_item(node, toNode(item));
      return node;
    }
    case PlistValue::Kind::Dict: {
      plist_t node = plist_new_dict();
      for (const auto& [key, item] : *value.asDict())
        plist_dict_set_item(node, key.c_str(), toNode(item));
      return node;
    }
  }
  return plist_new_string("");
}

// The leading decimal number of a text, as a reader of settings expects it ("12abc" -> 12).
double leadingReal(const std::string& s) {
  const char* p = s.c_str();
  char* end = nullptr;
  double d = std::strtod(p, &end);
  if (end == p || !std::isfinite(d)) return std::isinf(d) ? d : 0.0;
  return d;
}

int64_t clampToInt64(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return int64_t(d);
}

}  // namespace

const PlistValue* PlistDict::find(std::string_view key) const {
  for (const auto& entry : entries_)
    if (entry.first == key) return &entry.second;
  return nullptr;
}

PlistValue* PlistDict::find(std::string_view key) {
  for (auto& entry : entries_)
    if (entry.first == key) return &entry.second;
  return nullptr;
}

void PlistDict::set(std::string key, PlistValue value) {
  if (PlistValue* existing = find(key)) {
    *existing = std::move(value);
    return;
  }
  entries_.emplace_back(std::move(key), std::move(value));
}

void PlistDict::append(std::string key, PlistValue value) {
  entries_.emplace_back(std::move(key), std::move(value));
}

bool PlistDict::erase(std::string_view key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == key) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

bool operator==(const PlistDict& a, const PlistDict& b) {
  return a.entries_ == b.entries_;
}

bool PlistValue::boolValue() const {
  switch (kind()) {
    case Kind::Bool:
      return std::get<bool>(v_);
    case Kind::Integer:
      return std::get<int64_t>(v_) != 0;
    case Kind::Real:
      return std::get<double>(v_) != 0.0;
    case Kind::String: {
      // "YES", "true", "1", "+007": the first significant character decides.
      const std::string& s = std::get<std::string>(v_);
      size_t i = 0;
      while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      while (i < s.size() && s[i] == '0') ++i;
      if (i >= s.size()) return false;
      char c = s[i];
      return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default:
      return false;
  }
}

int64_t PlistValue::integerValue() const {
  switch (kind()) {
    case Kind::Bool:
      return std::get<bool>(v_) ? 1 : 0;
    case Kind::Integer:
      return std::get<int64_t>(v_);
    case Kind::Real:
      return clampToInt64(std::get<double>(v_));
    case Kind::String:
      return clampToInt64(leadingReal(std::get<std::string>(v_)));
    default:
      return 0;
  }
}

double PlistValue::realValue() const {
  switch (kind()) {
    case Kind::Bool:
      return std::get<bool>(v_) ? 1.0 : 0.0;
    case Kind::Integer:
      return double(std::get<int64_t>(v_));
    case Kind::Real:
      return std::get<double>(v_);
    case Kind::String:
      return leadingReal(std::get<std::string>(v_));
    default:
      return 0.0;
  }
}

std::optional<PlistValue> parsePlist(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  plist_t root = nullptr;
  // libplist expects the XML form to be terminated; give it a copy that is.
  std::string buffer(bytes);
  if (plist_is_binary(buffer.c_str(), uint32_t(buffer.size())) && !binaryStringsHoldNoNul(buffer))
    return std::nullopt;
  plist_from_memory(buffer.c_str(), uint32_t(buffer.size()), &root);
  if (!root) return std::nullopt;
  NodePtr owner(root);
  return fromNode(root, 0);
}

std::optional<PlistValue> readPlistFile(const std::string& path) {
  auto bytes = readFileContents(path);
  if (!bytes) return std::nullopt;
  return parsePlist(*bytes);
}

std::string plistToXml(const PlistValue& value) {
  NodePtr root(toNode(value));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  if (!xml) return std::string();
  std::string out(xml, length);
  plist_to_xml_free(xml);
  return out;
}

bool plistHoldsNul(const PlistValue& value) {
  std::vector<const PlistValue*> pending{&value};
  while (!pending.empty()) {
    const PlistValue* next = pending.back();
    pending.pop_back();
    if (const std::string* s = next->asString()) {
      if (s->find('\0') != std::string::npos) return true;
    } else if (const PlistArray* array = next->asArray()) {
      for (const PlistValue& item : *array) pending.push_back(&item);
    } else if (const PlistDict* dict = next->asDict()) {
      for (const auto& [key, item] : *dict) {
        if (key.find('\0') != std::string::npos) return true;
        pending.push_back(&item);
      }
    }
  }
  return false;
}

bool writePlistFile(const std::string& path, const PlistValue& value, std::string* error) {
  if (plistHoldsNul(value)) {
    if (error) *error = path + ": a text holds a NUL character, which a property list cannot keep";
    return false;
  }
  std::string xml = plistToXml(value);
  if (xml.empty()) {
    if (error) *error = "could not form the property list for " + path;
    return false;
  }
  return writeFileAtomically(path, xml, error);
}

}  // namespace vmk
