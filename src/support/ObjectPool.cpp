#include "support/ObjectPool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace vmk {

namespace {

struct Stock {
  std::mutex mutex;
  std::vector<void*> chunks;  // mapped and aligned, no header constructed yet
};

Stock& stock() {
  static Stock* shared = new Stock();  // outlives every thread's pool cursor
  return *shared;
}

void* mapAlignedChunk() {
  // Twice the size, then the unaligned ends are given back.
  const size_t size = kObjectPoolChunkSize;
  void* mapped =
      ::mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t base = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (base + size - 1) & ~uintptr_t(size - 1);
  if (aligned > base) ::munmap(mapped, aligned - base);
  if (aligned + size < base + 2 * size)
    ::munmap(reinterpret_cast<void*>(aligned + size), base + 2 * size - (aligned + size));
  return reinterpret_cast<void*>(aligned);
}

// Has the system provide every page of a fresh chunk now: one call where the kernel allows it
// (Linux 5.14), otherwise one write per page.
void providePages(void* chunk) {
  if (::madvise(chunk, kObjectPoolChunkSize, MADV_POPULATE_WRITE) == 0) return;
  const long page = ::sysconf(_SC_PAGESIZE);
  const size_t step = page > 0 ? size_t(page) : 4096;
  auto* bytes = static_cast<volatile char*>(chunk);
  for (size_t offset = 0; offset < kObjectPoolChunkSize; offset += step) bytes[offset] = 0;
}

}  // namespace

ObjectPoolChunk* allocateObjectPoolChunk() {
  void* chunk = nullptr;
  {
    Stock& shared = stock();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.chunks.empty()) {
      chunk = shared.chunks.back();
      shared.chunks.pop_back();
    }
  }
  if (!chunk) chunk = mapAlignedChunk();
  return new (chunk) ObjectPoolChunk{};
}

size_t stockObjectPoolChunks(size_t count, std::stop_token stop) {
  Stock& shared = stock();
  for (size_t made = 0; made < count && !stop.stop_requested(); ++made) {
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.chunks.size() >= kObjectPoolStockLimit) break;
    }
    void* chunk = nullptr;
    try {
      chunk = mapAlignedChunk();
    } catch (const std::bad_alloc&) {
      break;  // only a head start
    }
    providePages(chunk);
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.chunks.reserve(kObjectPoolStockLimit);
    shared.chunks.push_back(chunk);
  }
  std::lock_guard<std::mutex> lock(shared.mutex);
  return shared.chunks.size();
}

void releaseObjectPoolStock() {
  std::vector<void*> chunks;
  {
    Stock& shared = stock();
    std::lock_guard<std::mutex> lock(shared.mutex);
    chunks.swap(shared.chunks);
  }
  for (void* chunk : chunks) ::munmap(chunk, kObjectPoolChunkSize);
}

size_t objectPoolStockSize() {
  Stock& shared = stock();
  std::lock_guard<std::mutex> lock(shared.mutex);
  return shared.chunks.size();
}

void releaseObjectPoolChunk(ObjectPoolChunk* chunk) {
  chunk->~ObjectPoolChunk();
  ::munmap(chunk, kObjectPoolChunkSize);
}

}  // namespace vmk
