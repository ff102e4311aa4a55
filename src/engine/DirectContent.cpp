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
  // Entries before the current one with strictly increasing depth: the candidates for the
  // nearest less deep entry of whatever comes next. The walk is made twice, to count and then
  // to place each entry under that entry, so that no list of parents is kept.
  std::vector<int32_t> open;
  auto forEachChild = [&](auto&& fn) {
    open.clear();
    for (size_t i = 0; i < n; ++i) {
      const int32_t d = depths[i];
      while (!open.empty() && depths[size_t(open.back())] >= d) open.pop_back();
      if (!open.empty() && depths[size_t(open.back())] == d - 1) fn(size_t(open.back()), i);
      open.push_back(int32_t(i));
    }
  };
  forEachChild([&](size_t parent, size_t) { ++start_[parent + 1]; });
  for (size_t i = 0; i < n; ++i) start_[i + 1] += start_[i];
  children_.resize(size_t(start_[n]));
  // start_[p] serves as p's next free place, then everything moves back one slot.
  forEachChild(
      [&](size_t parent, size_t child) { children_[size_t(start_[parent]++)] = int32_t(child); });
  for (size_t i = n; i > 0; --i) start_[i] = start_[i - 1];
  start_[0] = 0;
}

}  // namespace vmk
