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
  std::vector<int32_t> parent(n, -1);
  start_.assign(n + 1, 0);
  // Entries before the current one with strictly increasing depth: the candidates for the
  // nearest less deep entry of whatever comes next.
  std::vector<int32_t> open;
  for (size_t i = 0; i < n; ++i) {
    const int32_t d = depths[i];
    while (!open.empty() && depths[size_t(open.back())] >= d) open.pop_back();
    if (!open.empty() && depths[size_t(open.back())] == d - 1) {
      parent[i] = open.back();
      ++start_[size_t(open.back()) + 1];
    }
    open.push_back(int32_t(i));
  }
  for (size_t i = 0; i < n; ++i) start_[i + 1] += start_[i];
  children_.resize(size_t(start_[n]));
  // The depths are not needed any more: they hold each entry's next free place in children_.
  std::vector<int32_t>& fill = depths;
  for (size_t i = 0; i < n; ++i) fill[i] = start_[i];
  for (size_t i = 0; i < n; ++i)
    if (parent[i] >= 0) children_[size_t(fill[size_t(parent[i])]++)] = int32_t(i);
}

}  // namespace vmk
