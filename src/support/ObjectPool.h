// Memory for objects of one size that are made in large numbers one after another and freed
// mostly together (the entries of a tag list). Objects are cut from chunks of 2 MiB, aligned to
// their size so that an object finds its chunk's header from its own address; a chunk is given
// back when its last object is freed. Each thread cuts from a chunk of its own; an object may
// be freed by any thread.
//
// Compared with the general heap: no per-object header, neighbours in creation order, and
// one system call per 2 MiB. (Large pages were tried for the chunks: they cost more in the
// kernel's compaction than they saved in page faults once other programs had used memory.)
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stop_token>

namespace vmk {

inline constexpr size_t kObjectPoolChunkSize = size_t(2) << 20;

struct ObjectPoolChunk {
  std::atomic<size_t> live;  // objects not yet freed, plus the slots not yet cut
};

// A chunk of kObjectPoolChunkSize bytes aligned to its size, taken from the stock when there
// is one; throws std::bad_alloc when the system has no memory left.
ObjectPoolChunk* allocateObjectPoolChunk();
void releaseObjectPoolChunk(ObjectPoolChunk* chunk);

// Makes up to `count` chunks ahead of need, their pages already provided by the system, for
// the pools to take before they map new ones: a thread that would otherwise wait (while a
// large file is read) takes the page faults that the threads cutting objects would take later.
// The stock never holds more than kObjectPoolStockLimit chunks; making more stops early when
// `stop` is requested (the reading is over, the run begins). Returns how many it holds.
inline constexpr size_t kObjectPoolStockLimit = 64;
size_t stockObjectPoolChunks(size_t count, std::stop_token stop = {});
// Unmaps the chunks still in stock (for a long-running host once a run is over).
void releaseObjectPoolStock();
size_t objectPoolStockSize();

template <size_t ObjectSize, size_t Alignment>
class ObjectPool {
 public:
  static void* allocate() {
    thread_local Cursor cursor;
    if (!cursor.chunk || cursor.used == kCapacity) {
      cursor.chunk = nullptr;  // a full chunk is freed by its last object
      ObjectPoolChunk* chunk = allocateObjectPoolChunk();
      chunk->live.store(kCapacity, std::memory_order_relaxed);
      cursor.chunk = chunk;
      cursor.used = 0;
    }
    return reinterpret_cast<char*>(cursor.chunk) + kHeader + ObjectSize * cursor.used++;
  }

  static void deallocate(void* object) {
    auto* chunk = reinterpret_cast<ObjectPoolChunk*>(reinterpret_cast<uintptr_t>(object) &
                                                     ~uintptr_t(kObjectPoolChunkSize - 1));
    drop(chunk, 1);
  }

 private:
  static constexpr size_t kHeader =
      (sizeof(ObjectPoolChunk) + Alignment - 1) / Alignment * Alignment;
  static constexpr size_t kCapacity = (kObjectPoolChunkSize - kHeader) / ObjectSize;
  static_assert(ObjectSize % Alignment == 0 && kCapacity > 0);

  static void drop(ObjectPoolChunk* chunk, size_t count) {
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count)
      releaseObjectPoolChunk(chunk);
  }

  // The chunk a thread is cutting from; the slots it never cut are given up when it ends.
  struct Cursor {
    ObjectPoolChunk* chunk = nullptr;
    size_t used = 0;
    ~Cursor() {
      if (chunk && used < kCapacity) drop(chunk, kCapacity - used);
    }
  };
};

}  // namespace vmk
