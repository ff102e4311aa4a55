// The working state of the attribute pass of a validation run (see AttributeChecks.cpp): the
// facts of each written attribute name, and the value checks shared out in chunks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "dictionary/AttributeValueCheck.h"
#include "dictionary/VmkDictionary.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

// What an attribute pass knows about one attribute name as written in tags of one element,
// found on its first occurrence.
struct VmkHTMLChecker::AttributeNameFacts {
  UStringView lower;     // the record's name, as the checker keeps it
  bool lowered = false;  // differs from the written name
  bool isId = false;
  bool contained = true;            // the dictionary allows it in the element (or there is none)
  bool editor = false;              // an editor's own attribute name
  AttributeEntriesForName entries;  // the element's entries for the value checks
};

// The state of one pass over the tag list: the facts by (element record, written name), and
// the facts of every attribute record made, in order, for the value checks that follow.
class VmkHTMLChecker::AttributePass {
 public:
  explicit AttributePass(VmkHTMLChecker& checker)
      : checker_(checker), dictionary_(checker.htmlDictionary_.get()) {
    slots_.resize(64);
  }

  const AttributeNameFacts& factsFor(const VmkElementRecord* element, UStringView written) {
    const size_t hash = hashOf(element, written);
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.index < 0) break;
      if (slot.hash == hash && slot.element == element && slot.written == written)
        return facts_[size_t(slot.index)];
    }
    facts_.push_back(derive(element, written));
    if (2 * (facts_.size() + 1) > slots_.size()) {
      std::vector<Slot> old(slots_.size() * 2);
      old.swap(slots_);
      for (const Slot& slot : old)
        if (slot.index >= 0) slots_[freeSlot(slot.hash)] = slot;
    }
    slots_[freeSlot(hash)] = Slot{element, written, hash, int32_t(facts_.size() - 1)};
    return facts_.back();
  }

  // The facts of each record made, in the order made.
  std::vector<const AttributeNameFacts*> recordFacts;
  // The records of the tag being read.
  VmkAttributeList scratch;

 private:
  struct Slot {
    const VmkElementRecord* element = nullptr;
    UStringView written;
    size_t hash = 0;
    int32_t index = -1;
  };

  static size_t hashOf(const VmkElementRecord* element, UStringView written) {
    uint64_t h = reinterpret_cast<uintptr_t>(element) * 0x9E3779B97F4A7C15ull;
    for (UChar16 c : written) h = (h ^ c) * 0x100000001B3ull;
    return size_t(h ^ (h >> 29));
  }
  size_t freeSlot(size_t hash) const {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].index >= 0) i = (i + 1) & mask;
    return i;
  }

  AttributeNameFacts derive(const VmkElementRecord* element, UStringView written);

  VmkHTMLChecker& checker_;
  const VmkDictionary* dictionary_;
  std::vector<Slot> slots_;
  std::deque<AttributeNameFacts> facts_;  // stable addresses
};

// The value checks of one pass, in chunks of tags that any thread may take: each chunk keeps
// its errors apart, and they are added in chunk order, which is the order of the tags.
struct VmkHTMLChecker::AttributeValueWork {
  explicit AttributeValueWork(VmkHTMLChecker& checker) : pass(checker) {}

  struct Tag {
    VmkTagLocation* tag;
    const VmkElementRecord* record;
    size_t firstFacts;  // of its records in pass.recordFacts
  };
  static constexpr size_t kChunk = 2048;

  AttributePass pass;
  std::vector<Tag> tags;
  std::vector<ErrorSink> chunkErrors;
  std::atomic<size_t> nextChunk{0};

  // Set once the records are made (or their making failed: then there are no chunks).
  std::mutex mutex;
  std::condition_variable readyChanged;
  bool ready = false;

  void publish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ready = true;
    }
    readyChanged.notify_all();
  }
  void waitUntilReady() {
    std::unique_lock<std::mutex> lock(mutex);
    readyChanged.wait(lock, [this] { return ready; });
  }
};

}  // namespace vmk
