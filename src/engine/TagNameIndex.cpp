#include "engine/TagNameIndex.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "engine/NameAddressTable.h"
#include "engine/NamePredicates.h"

namespace vmk {
namespace {

// Interns names so that two names get the same key exactly when they are equal ignoring case
// (isEqualToString with caseIgnore). Exact spellings are cached; pure ASCII names are keyed
// by their ASCII lower case; other names, and ASCII names once any other name was met (a
// non-ASCII name can fold to an ASCII one, such as the Kelvin sign to "k"), go through an
// ordered map under the case-insensitive comparison.
class NameInterner {
 public:
  int32_t keyFor(UStringView name) {
    if (auto it = exact_.find(name); it != exact_.end()) return it->second;
    int32_t key = classify(name);
    exact_.emplace(UString(name), key);
    return key;
  }

 private:
  struct FoldLess {
    bool operator()(const UString& a, const UString& b) const {
      return caseInsensitiveCompare(a, b) < 0;
    }
  };

  int32_t classify(UStringView name) {
    bool ascii = isAsciiText(name);
    if (ascii && !foldedInUse_) {
      UString lower = asciiLowercase(name);
      auto [it, inserted] = ascii_.emplace(std::move(lower), next_);
      if (inserted) ++next_;
      return it->second;
    }
    if (!foldedInUse_) {
      // Move every ASCII class into the ordered map, then use it alone from now on.
      for (auto& [lower, key] : ascii_) folded_.emplace(lower, key);
      ascii_.clear();
      foldedInUse_ = true;
    }
    auto [it, inserted] = folded_.emplace(UString(name), next_);
    if (inserted) ++next_;
    return it->second;
  }

  std::unordered_map<UString, int32_t, UStringViewHash, std::equal_to<>> exact_;
  std::unordered_map<UString, int32_t> ascii_;
  std::map<UString, int32_t, FoldLess> folded_;
  bool foldedInUse_ = false;
  int32_t next_ = 0;
};

}  // namespace

TagNameIndex::TagNameIndex(const VmkTagLocationList& list, const VmkNotedEntryNames* noted) {
  const size_t n = list.size();
  if (noted && noted->ids.size() != n) noted = nullptr;
  size_ = n;
  NameInterner interner;
  // Whole names as stored -> spelling key; the map is asked once per distinct name object
  // (entries of one spelling mostly share one interned name), found by the name's address in
  // an open-addressing table.
  std::unordered_map<UStringView, int32_t> spellings;
  NameAddressTable<int32_t> byAddress;
  std::vector<int32_t> spellingUses;
  auto spellingOf = [&](const UString* stored) {
    return byAddress.findOrAdd(stored, [&] {
      const UStringView name = *stored;
      auto [it, inserted] = spellings.try_emplace(name, spellingCount_);
      if (inserted) {
        ++spellingCount_;
        const bool end = isEndTagName(name);
        spellingIsEnd_.push_back(end ? 1 : 0);
        spellingText_.push_back(stored);
        spellingName_.push_back(interner.keyFor(end ? name.substr(1) : name));
        spellingUses.push_back(0);
      }
      return it->second;
    });
  };
  if (noted) {
    // The entries themselves are not read: the noted spellings are looked up once each, and
    // the noted numbers stand for them.
    spellingOfId_.assign(noted->names.size(), kNone);
    for (size_t id = 0; id < noted->names.size(); ++id)
      if (noted->names[id]) spellingOfId_[id] = spellingOf(noted->names[id]);
    ids_ = noted->ids.data();
  } else {
    ownIds_.resize(n);
    for (size_t i = 0; i < n; ++i) ownIds_[i] = uint32_t(spellingOf(&list[i]->elementName()));
    spellingOfId_.resize(size_t(spellingCount_));
    for (int32_t k = 0; k < spellingCount_; ++k) spellingOfId_[size_t(k)] = k;
    ids_ = ownIds_.data();
  }
  for (size_t i = 0; i < n; ++i) ++spellingUses[size_t(spellingKey(i))];

  // Occurrence lists in one array, grouped by key (counting sort keeps source order). Text
  // runs, half of a large list, are never asked about: they are left out.
  int32_t keyCount = 0;
  for (int32_t k : spellingName_) keyCount = std::max(keyCount, k + 1);
  // Per spelling: the key it is listed under, -1 for text runs. A tag written with such a
  // name shares the key: its questions are answered by walking the list.
  std::vector<int32_t> listedUnder(spellingName_);
  keyPartlyListed_.assign(size_t(keyCount), 0);
  for (const auto& [name, key] : spellings) {
    if (!isTextRunName(name)) continue;
    keyPartlyListed_[size_t(spellingName_[size_t(key)])] = 1;
    listedUnder[size_t(key)] = -1;
  }
  keyStart_.assign(size_t(keyCount) + 1, 0);
  for (size_t k = 0; k < listedUnder.size(); ++k)
    if (listedUnder[k] >= 0) keyStart_[size_t(listedUnder[k]) + 1] += spellingUses[k];
  for (size_t k = 0; k < size_t(keyCount); ++k) keyStart_[k + 1] += keyStart_[k];
  // The slot after the last occurrence takes the text runs' writes, which move on no further:
  // the loop below then has no branch that text runs and tags, taking turns, would defeat.
  const size_t occurrenceCount = size_t(keyStart_[size_t(keyCount)]);
  occurrences_.resize(occurrenceCount + 1);
  // Whether each occurrence is an end tag, beside it for the walk below.
  std::vector<uint8_t> occurrenceIsEnd(occurrenceCount + 1);
  {
    for (size_t k = 0; k < listedUnder.size(); ++k)
      if (listedUnder[k] < 0) listedUnder[k] = keyCount;
    std::vector<int32_t> fill(keyStart_.begin(), keyStart_.end());
    std::vector<int32_t> advance(size_t(keyCount) + 1, 1);
    advance[size_t(keyCount)] = 0;
    for (size_t i = 0; i < n; ++i) {
      const size_t spelling = size_t(spellingKey(i));
      const size_t k = size_t(listedUnder[spelling]);
      const size_t slot = size_t(fill[k]);
      fill[k] += advance[k];
      occurrences_[slot] = int32_t(i);
      occurrenceIsEnd[slot] = spellingIsEnd_[spelling];
    }
  }
  occurrences_.pop_back();
  occurrenceIsEnd.pop_back();

  // The name count before an occurrence is the number of start tags minus end tags of that
  // name earlier in the list. FindMyEndTag(T) is the first end tag after T whose count before
  // it is exactly 1 (T itself being one of the start tags counted). Walking back, the count
  // before an occurrence is the whole list's count less that of the occurrences from it on.
  balancingEnd_.assign(occurrences_.size(), kNone);
  for (size_t k = 0; k < size_t(keyCount); ++k) {
    const int32_t begin = keyStart_[k], end = keyStart_[k + 1];
    int32_t total = 0;
    for (int32_t s = begin; s < end; ++s) total += 1 - 2 * int32_t(occurrenceIsEnd[size_t(s)]);
    int32_t fromHere = 0;
    int32_t next = kNone;
    for (int32_t s = end - 1; s >= begin; --s) {
      const int32_t endTag = occurrenceIsEnd[size_t(s)];
      fromHere += 1 - 2 * endTag;
      const int32_t countBefore = total - fromHere;
      next = (endTag & int32_t(countBefore == 1)) != 0 ? occurrences_[size_t(s)] : next;
      balancingEnd_[size_t(s)] = next;
    }
  }
}

int32_t TagNameIndex::positionOf(size_t i) const {
  const size_t k = size_t(nameKey(i));
  auto begin = occurrences_.begin() + keyStart_[k];
  auto end = occurrences_.begin() + keyStart_[k + 1];
  return int32_t(std::lower_bound(begin, end, int32_t(i)) - begin);
}

int32_t TagNameIndex::findMyEndTag(size_t i) const {
  const size_t k = size_t(nameKey(i));
  if (keyPartlyListed_[k]) {
    int32_t count = 0;
    for (size_t j = 0; j < size_; ++j) {
      if (size_t(nameKey(j)) != k) continue;
      const bool end = isEndTag(j);
      if (j > i && end && count == 1) return int32_t(j);
      count += end ? -1 : 1;
    }
    return kNone;
  }
  const int32_t slot = keyStart_[k] + positionOf(i) + 1;
  if (slot >= keyStart_[k + 1]) return kNone;
  return balancingEnd_[size_t(slot)];
}

bool TagNameIndex::endTagFollows(size_t i, size_t from) const {
  const size_t k = size_t(nameKey(i));
  if (keyPartlyListed_[k]) {
    for (size_t j = from; j < size_; ++j)
      if (size_t(nameKey(j)) == k) return isEndTag(j);
    return false;
  }
  auto begin = occurrences_.begin() + keyStart_[k];
  auto end = occurrences_.begin() + keyStart_[k + 1];
  auto it = std::lower_bound(begin, end, int32_t(from));
  return it != end && isEndTag(size_t(*it));
}

}  // namespace vmk
