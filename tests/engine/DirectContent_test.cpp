// The direct-content table against its definition, on depth sequences of every shape.
#include "engine/DirectContent.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vmk {
namespace {

// Straight from the definition: the entries after i, up to the first one not deeper than i,
// that are exactly one deeper.
std::vector<int32_t> contentByDefinition(const std::vector<int32_t>& depths, size_t i) {
  std::vector<int32_t> content;
  for (size_t j = i + 1; j < depths.size() && depths[j] > depths[i]; ++j)
    if (depths[j] == depths[i] + 1) content.push_back(int32_t(j));
  return content;
}

TEST(DirectContentTest, MatchesTheDefinitionOnRandomAndOddDepths) {
  std::mt19937 random(11);
  std::vector<std::vector<int32_t>> cases = {
      {}, {0}, {0, 1, 2, 1, 0}, {3, 1, 2, 0, 5, 1}, {0, 2, 1, 2, 2, 3, 0}, {-1, 0, 0, -1, 1}};
  for (int c = 0; c < 200; ++c) {
    std::vector<int32_t> depths;
    int32_t d = 0;
    const size_t n = random() % 60;
    for (size_t i = 0; i < n; ++i) {
      // Mostly one level up or down, sometimes a jump (depths left by broken markup).
      const int step = int(random() % 7) - 3;
      d = std::max(0, d + (std::abs(step) <= 1 ? step : step * 2));
      depths.push_back(d);
    }
    cases.push_back(depths);
  }
  for (const std::vector<int32_t>& depths : cases) {
    const DirectContent content{std::vector<int32_t>(depths)};
    for (size_t i = 0; i < depths.size(); ++i) {
      auto [first, last] = content.of(i);
      EXPECT_EQ(std::vector<int32_t>(first, last), contentByDefinition(depths, i))
          << "entry " << i << " of " << depths.size();
    }
  }
}

}  // namespace
}  // namespace vmk
