#include "support/ObjectPool.h"

#include <sys/mman.h>

namespace vmk {

ObjectPoolChunk* allocateObjectPoolChunk() {
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
  void* chunk = reinterpret_cast<void*>(aligned);
  return new (chunk) ObjectPoolChunk{};
}

void releaseObjectPoolChunk(ObjectPoolChunk* chunk) {
  chunk->~ObjectPoolChunk();
  ::munmap(chunk, kObjectPoolChunkSize);
}

}  // namespace vmk
