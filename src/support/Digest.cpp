// XXH3-128 digests as hexadecimal text.
#include "support/Digest.h"

#include <xxhash.h>

#include <new>

namespace vmk {
namespace {

std::string hexOf(XXH128_hash_t h) {
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

std::string hex(const void* data, size_t size) {
  return hexOf(XXH3_128bits(data, size));
}

}  // namespace

struct TextDigest::State {
  State() : xxh(XXH3_createState()) {
    if (!xxh) throw std::bad_alloc();
    XXH3_128bits_reset(xxh);
  }
  ~State() { XXH3_freeState(xxh); }
  XXH3_state_t* xxh;
};

TextDigest::TextDigest() : state_(std::make_unique<State>()) {}
TextDigest::~TextDigest() = default;

void TextDigest::add(UStringView piece) {
  XXH3_128bits_update(state_->xxh, piece.data(), piece.size() * sizeof(char16_t));
}

std::string TextDigest::hex() const {
  return hexOf(XXH3_128bits_digest(state_->xxh));
}

std::string digestHex(UStringView text) {
  return hex(text.data(), text.size() * sizeof(char16_t));
}

std::string digestHex(std::string_view bytes) {
  return hex(bytes.data(), bytes.size());
}

}  // namespace vmk
