#include "engine/DirectContent.h"

namespace vmk {

DirectContent::DirectContent(const VmkTagLocationList& list) {
  const size_t n = list.size();
  std::vector<int32_t> depth(n);
  for (size_t i = 0; i < n; ++i) depth[i] = list[i]->tagDepth();
  std::vector<int32_t> parent(n, -1);
  std::vector<int32_t> counts(n + 1, 0);
  // Entries before the current one with strictly increasing depth: the candidates for the
  // nearest less deep entry of whatever comes next.
  std::vector<int32_t> open;
  for (size_t i = 0; i < n; ++i) {
    const int32_t d = depth[i];
    while (!open.empty() && depth[size_t(open.back())] >= d) open.pop_back();
    if (!open.empty() && depth[size_t(open.back())] == d - 1) {
      parent[i] = open.back();
      ++counts[size_t(open.back()) + 1];
    }
    open.push_back(int32_t(i));
  }
  start_.assign(n + 1, 0);
  for (size_t i = 0; i < n; ++i) start_[i + 1] = start_[i] + counts[i + 1];
  children_.resize(size_t(start_[n]));
  std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
  for (size_t i = 0; i < n; ++i)
    if (parent[i] >= 0) children_[size_t(fill[size_t(parent[i])]++)] = int32_t(i);
}

}  // namespace vmk
