// Digests of texts (xxHash XXH3-128), used to tell whether a text changed.
#pragma once

#include <memory>
#include <string>

#include "support/Text.h"

namespace vmk {

// 32 lower-case hexadecimal digits.
std::string digestHex(UStringView text);
std::string digestHex(std::string_view bytes);

// The digest of a text given piece by piece: hex() is digestHex of the pieces put together.
class TextDigest {
 public:
  TextDigest();
  ~TextDigest();
  TextDigest(const TextDigest&) = delete;
  TextDigest& operator=(const TextDigest&) = delete;

  void add(UStringView piece);
  std::string hex() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vmk
