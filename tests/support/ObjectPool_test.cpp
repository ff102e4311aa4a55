#include "support/ObjectPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace vmk {
namespace {

using Pool = ObjectPool<48, 8>;

TEST(ObjectPoolTest, ObjectsAreDistinctAcrossChunksAndReusableAfterRelease) {
  // More objects than one chunk holds, each filled with its own byte.
  const size_t count = 3 * kObjectPoolChunkSize / 48;
  std::vector<char*> objects;
  for (size_t i = 0; i < count; ++i) {
    auto* object = static_cast<char*>(Pool::allocate());
    std::memset(object, int(i & 0x7F), 48);
    objects.push_back(object);
  }
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(objects[i][0], char(i & 0x7F));
    ASSERT_EQ(objects[i][47], char(i & 0x7F));
  }
  std::set<char*> distinct(objects.begin(), objects.end());
  EXPECT_EQ(distinct.size(), count);
  // Freed in another order than made; the pool keeps serving afterwards.
  std::reverse(objects.begin(), objects.begin() + count / 2);
  for (char* object : objects) Pool::deallocate(object);
  void* again = Pool::allocate();
  EXPECT_NE(again, nullptr);
  Pool::deallocate(again);
}

TEST(ObjectPoolTest, ObjectsMayBeFreedOnAnotherThread) {
  std::vector<void*> made;
  std::thread maker([&] {
    for (int i = 0; i < 1000; ++i) made.push_back(Pool::allocate());
  });
  maker.join();  // the maker's chunk outlives the thread while its objects live
  for (void* object : made) std::memset(object, 1, 48);
  std::vector<void*> mine;
  for (int i = 0; i < 1000; ++i) mine.push_back(Pool::allocate());
  std::thread freer([&] {
    for (void* object : made) Pool::deallocate(object);
    for (void* object : mine) Pool::deallocate(object);
  });
  freer.join();
}

TEST(ObjectPoolTest, StockedChunksServeThePoolsFirstAndStayWithinTheLimit) {
  releaseObjectPoolStock();
  // A stop already requested makes none.
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_EQ(stockObjectPoolChunks(4, stopped.get_token()), 0u);

  ASSERT_EQ(stockObjectPoolChunks(2), 2u);
  // A fresh thread's pool starts a chunk: the stock gives it, already provided with pages, and
  // the objects cut from it are usable and aligned as the pool promises.
  std::vector<char*> made;
  std::thread maker([&] {
    for (size_t i = 0; i < kObjectPoolChunkSize / 48 + 10; ++i)
      made.push_back(static_cast<char*>(Pool::allocate()));
  });
  maker.join();
  EXPECT_EQ(objectPoolStockSize(), 0u);  // two chunks cut
  for (char* object : made) {
    std::memset(object, 0x5A, 48);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 8, 0u);
  }
  for (char* object : made) Pool::deallocate(object);

  EXPECT_EQ(stockObjectPoolChunks(kObjectPoolStockLimit + 3), kObjectPoolStockLimit);
  EXPECT_EQ(stockObjectPoolChunks(1), kObjectPoolStockLimit);
  releaseObjectPoolStock();
  EXPECT_EQ(objectPoolStockSize(), 0u);
}

}  // namespace
}  // namespace vmk
