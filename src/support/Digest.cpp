// XXH3-128 digests as hexadecimal text.
#include "support/Digest.h"

#include <xxhash.h>

namespace vmk {
namespace {

std::string hex(const void* data, size_t size) {
  XXH128_hash_t h = XXH3_128bits(data, size);
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, h);
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(32);
  for (unsigned char b : canonical.digest) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace

std::string digestHex(UStringView text) {
  return hex(text.data(), text.size() * sizeof(char16_t));
}

std::string digestHex(std::string_view bytes) {
  return hex(bytes.data(), bytes.size());
}

}  // namespace vmk
