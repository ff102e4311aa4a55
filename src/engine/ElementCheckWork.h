// The working state of the element checks of a validation run (see StructureChecks.cpp): what
// they ask per spelling, and the chunks of entries that threads may share.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "engine/DirectContent.h"
#include "engine/NamePredicates.h"
#include "engine/TagNameIndex.h"
#include "engine/VmkHTMLChecker.h"

namespace vmk {

// What an element check asks about a name, per spelling. The answers a check finds out on the
// way are kept for the next entry of that spelling; threads that take chunks side by side may
// find the same answer at once, and store the same value.
struct VmkHTMLChecker::ElementCheckWork {
  struct Facts {
    bool textRun = false;
    bool endTag = false;
    // Whether text may stand directly inside the element (-1 not asked, 0 no, 1 yes, 2 not in
    // the dictionary).
    std::atomic<int8_t> takesText{-1};
    // Whether the text run after such an entry is left unsearched (-1 not asked).
    std::atomic<int8_t> bareAmpersandsAfter{-1};
    // Whether such an end tag closes an empty element (-1 not asked).
    std::atomic<int8_t> emptyElementEnd{-1};
  };
  // Entries per chunk: small enough for the two threads to end close together, large enough
  // to make a chunk's bookkeeping small beside its checks.
  static constexpr size_t kChunk = 8192;

  ElementCheckWork(VmkHTMLChecker& checker, const DirectContent& directContent)
      : content(directContent), index(checker.currentTagNameIndex()) {
    const size_t spellings = size_t(index.spellingCount());
    facts = std::make_unique<Facts[]>(spellings);
    for (size_t k = 0; k < spellings; ++k) {
      const UString& name = index.spellingText(int32_t(k));
      facts[k].textRun = isTextRunName(name);
      facts[k].endTag = isEndTagName(name);
    }
    // In a list the scan made, the end-tag rule an entry carries follows from its name: asked of
    // the first entry met of each spelling only.
    rulesFollowNames = checker.scannedEntryNames() != nullptr;
    size = checker.tagLocations_.size();
    chunkErrors.resize((size + kChunk - 1) / kChunk);
  }
  Facts& factsOf(size_t i) const { return facts[size_t(index.spellingKey(i))]; }

  const DirectContent& content;
  const TagNameIndex& index;
  std::unique_ptr<Facts[]> facts;
  bool rulesFollowNames = false;
  size_t size = 0;
  std::vector<ErrorSink> chunkErrors;
  std::atomic<size_t> nextChunk{0};
};

}  // namespace vmk
