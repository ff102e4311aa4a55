// The direct content of every entry of a tag list: the entries after it, up to the first one
// that is not deeper than it, whose depth is exactly one more. An entry c belongs to the direct
// content of at most one entry, the nearest one before c that is less deep than c (when its
// depth is exactly one less), so the content of every element is gathered once for the whole
// list and no element's content is walked again per ancestor.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/VmkTagLocation.h"

namespace vmk {

class DirectContent {
 public:
  explicit DirectContent(const VmkTagLocationList& list);
  // The same from the depth of every entry, in list order (as the tree walk leaves them).
  explicit DirectContent(std::vector<int32_t> depths);

  // Indices of the entries in the direct content of entry i, in source order.
  std::pair<const int32_t*, const int32_t*> of(size_t i) const {
    const int32_t* base = children_.data();
    return {base + start_[i], base + start_[i + 1]};
  }

 private:
  std::vector<int32_t> start_;  // per entry, the first of its children in children_
  std::vector<int32_t> children_;
};

}  // namespace vmk
