// A small table keyed by the address of a stored tag name: the entries of one spelling mostly
// share one stored name, so passes over a long tag list find what they know about a name
// without hashing its text. Open addressing, grown at half full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "support/Text.h"

namespace vmk {

template <typename Value>
class NameAddressTable {
 public:
  NameAddressTable() : slots_(64) {}

  // The value kept for the name; made by `make()` on the name's first use. The reference stays
  // valid until the next call.
  template <typename Make>
  Value& findOrAdd(const UString* name, Make&& make) {
    size_t at = slotOf(slots_, name);
    if (slots_[at].name) return slots_[at].value;
    if (2 * (used_ + 1) > slots_.size()) {
      std::vector<Slot> grown(slots_.size() * 2);
      for (Slot& slot : slots_)
        if (slot.name) grown[slotOf(grown, slot.name)] = std::move(slot);
      slots_.swap(grown);
      at = slotOf(slots_, name);
    }
    ++used_;
    slots_[at].name = name;
    slots_[at].value = make();
    return slots_[at].value;
  }

 private:
  struct Slot {
    const UString* name = nullptr;
    Value value{};
  };

  static size_t slotOf(const std::vector<Slot>& table, const UString* name) {
    const size_t mask = table.size() - 1;
    size_t i = size_t((reinterpret_cast<uintptr_t>(name) >> 3) * 0x9E3779B97F4A7C15ull >> 20);
    for (i &= mask; table[i].name && table[i].name != name; i = (i + 1) & mask) {
    }
    return i;
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
};

}  // namespace vmk
