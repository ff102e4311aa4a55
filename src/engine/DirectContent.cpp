#include "engine/DirectContent.h"

namespace vmk {
namespace {

std::vector<int32_t> depthsOf(const VmkTagLocationList& list) {
  std::vector<int32_t> depths(list.size());
  for (size_t i = 0; i < list.size(); ++i) depths[i] = list[i]->tagDepth();
  return depths;
}

}  // namespace

DirectContent::DirectContent(const VmkTagLocationList& list) : DirectContent(depthsOf(list)) {}

DirectContent::DirectContent(std::vector<int32_t> depths) {
  const size_t n = depths.size();
  start_.assign(n + 1, 0);
  // One walk finds each entry's parent (the nearest entry before it that is less deep, when
  // exactly one less deep), keeping the entries of strictly increasing depth that can still be
  // one with their depths; an entry's depth is not read again once it is on that stack, so its
  // place in `depths` takes its parent (-1 for none). Then the children are counted per parent
  // and placed in order.
  struct Open {
    int32_t index;
    int32_t depth;
  };
  std::vector<Open> open;
  for (size_t i = 0; i < n; ++i) {
    const int32_t d = depths[i];
    while (!open.empty() && open.back().depth >= d) open.pop_back();
    int32_t parent = -1;
    if (!open.empty() && open.back().depth == d - 1) {
      parent = open.back().index;
      ++start_[size_t(parent) + 1];
    }
    depths[i] = parent;
    open.push_back({int32_t(i), d});
  }
  for (size_t i = 0; i < n; ++i) start_[i + 1] += start_[i];
  children_.resize(size_t(start_[n]));
  // start_[p] serves as p's next free place, then everything moves back one slot.
  const int32_t* parents = depths.data();
  for (size_t i = 0; i < n; ++i) {
    const int32_t parent = parents[i];
    if (parent >= 0) children_[size_t(start_[size_t(parent)]++)] = int32_t(i);
  }
  for (size_t i = n; i > 0; --i) start_[i] = start_[i - 1];
  start_[0] = 0;
}

}  // namespace vmk
