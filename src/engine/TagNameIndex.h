// An index of the names of a tag list, for the questions the tree walk and the structure checks
// ask about matching start and end tags without walking the list:
// - which entries share an element name, compared ignoring case (an end tag counts under the
//   name it closes);
// - FindMyEndTag: the end tag that balances a start tag by name counting over the whole list;
// - whether, from a given entry on, the next entry of a start tag's name is its end tag.
// Built once per list in O(n log n); each question is O(1) or O(log n).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/VmkTagLocation.h"

namespace vmk {

class TagNameIndex {
 public:
  static constexpr int32_t kNone = -1;

  // With the names the scan noted for `list`, the entries are not read.
  explicit TagNameIndex(const VmkTagLocationList& list, const VmkNotedEntryNames* noted = nullptr);

  size_t size() const { return size_; }
  // Entries i and j carry the same element name ignoring case, the leading "/" of an end tag
  // set aside.
  bool sameElementName(size_t i, size_t j) const { return nameKey(i) == nameKey(j); }
  bool isEndTag(size_t i) const { return spellingIsEnd_[size_t(spellingKey(i))] != 0; }
  // Entries i and j carry exactly the same name exactly when their spelling keys are equal
  // (keys are dense, 0 .. spellingCount() - 1).
  int32_t spellingKey(size_t i) const { return spellingOfId_[ids_[i]]; }
  int32_t spellingCount() const { return spellingCount_; }
  // The name of a spelling, as stored by its first entry (valid while the list's entries keep
  // their names).
  const UString& spellingText(int32_t key) const { return *spellingText_[size_t(key)]; }

  // For the start tag at i (name N): the end tag that the name count balances, as
  // FindMyEndTag defines it: count the entries named N minus those named "/" + N before i;
  // walking forward from i + 1, an entry named N adds one, and the first entry named "/" + N
  // met while the count is 0 is the answer (otherwise it subtracts one). kNone when there is
  // none. i must not be an end tag (see findMyEndTag of the checker for the general case).
  int32_t findMyEndTag(size_t i) const;

  // For the start tag at i: walking from `from` on, is the first entry named like i (as a
  // start tag or as an end tag) an end tag? False when no such entry follows.
  bool endTagFollows(size_t i, size_t from) const;

 private:
  // The element key of entry i: its name, case ignored, "/" set aside.
  int32_t nameKey(size_t i) const { return spellingName_[size_t(spellingKey(i))]; }
  // Place of entry i in its name's occurrence list.
  int32_t positionOf(size_t i) const;

  // Per entry only a number whose spelling spellingOfId_ gives: the scan's noted number (the
  // notes outlive the index: the checker drops the index first), else the spelling key itself,
  // in ownIds_. What follows from the spelling is kept per spelling (a large list has hundreds
  // of thousands of entries and a few dozen spellings).
  size_t size_ = 0;
  const uint32_t* ids_ = nullptr;
  std::vector<uint32_t> ownIds_;
  std::vector<int32_t> spellingOfId_;
  int32_t spellingCount_ = 0;
  std::vector<int32_t> spellingName_;         // per spelling: its element key
  std::vector<uint8_t> spellingIsEnd_;        // per spelling: an end tag
  std::vector<const UString*> spellingText_;  // per spelling: its name
  // Occurrence lists of all names but that of text runs, one after another (entries in source
  // order), and the start of each name's list in them (one more than the number of names).
  std::vector<int32_t> occurrences_;
  std::vector<int32_t> keyStart_;
  // Per name key: some of its entries are not in occurrences_ (a tag named like text runs).
  std::vector<uint8_t> keyPartlyListed_;
  // Per occurrence: the first end tag at or after it, in its name's list, before which the
  // name count of the whole prefix of the list is 1; kNone when there is none.
  std::vector<int32_t> balancingEnd_;
};

}  // namespace vmk
