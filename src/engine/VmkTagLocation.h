// One entry of the tag list that a validation run builds: a start tag, end tag, comment,
// processing instruction, DOCTYPE or run of text, with its place in the checked text, its
// nesting depth, its end-tag rule, its place in the list (which gives its neighbours), its
// partner, and its parsed attributes.
//
// A large document's list holds hundreds of thousands of entries, so an entry is kept small:
// its name is a pointer to a shared spelling (interned, or its own copy for a name that is not
// worth keeping for the whole process), and its attribute records live out of line, present
// only for a tag that has some.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "support/ObjectPool.h"
#include "support/Text.h"

// Sanitizers find misuse of heap objects only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VMK_PLAIN_HEAP_TAG_LOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VMK_PLAIN_HEAP_TAG_LOCATIONS 1
#endif
#endif

namespace vmk {

// One attribute written in a tag. The value (and its range, quotation marks excluded) is
// present only when the attribute is written with "=".
//
// A record views the texts it names rather than copying them (a large page has a hundred
// thousand records): the name, in lower case, views a spelling that the checker which made the
// record keeps as long as its tag list (see VmkHTMLChecker::keptAttributeName), and the value
// views the checked text, whose place valueRange gives. A record made by other code views
// texts that its maker keeps alive as long as the record.
struct VmkAttribute {
  UStringView name;  // lower case
  Range nameRange;
  std::optional<UStringView> value;
  Range valueRange;

  bool hasValue() const { return value.has_value(); }
  friend bool operator==(const VmkAttribute&, const VmkAttribute&) = default;
};

using VmkAttributeList = std::vector<VmkAttribute>;

class VmkTagLocation {
 public:
  VmkTagLocation() = default;
  VmkTagLocation(const VmkTagLocation&) = delete;
  VmkTagLocation& operator=(const VmkTagLocation&) = delete;
  ~VmkTagLocation() { dropOwnedName(); }

  // Entries come from a pool (a list of a large document holds hundreds of thousands); the
  // sanitizers see plain heap objects.
#if !defined(VMK_PLAIN_HEAP_TAG_LOCATIONS)
  static void* operator new(std::size_t size);
  static void operator delete(void* object, std::size_t size);
#endif

  // The name as scanned: "#DATA" for text, "/" + name for an end tag, "!--..." for a comment,
  // "?target" for a processing instruction, "!DOCTYPE".
  const UString& elementName() const {
    return *namePointer();
  }
  // The entry keeps a copy of its own.
  void setElementName(UString name);
  // The entry points to `name`, which must outlive it (a spelling from internElementName or
  // textRunName).
  void setInternedElementName(const UString& name) {
    dropOwnedName();
    setNamePointer(&name, false);
  }

  // The one stored copy of a spelling, kept for the rest of the process (for names of a
  // bounded set: the dictionaries' element names and their end tags); safe from any thread.
  static const UString& internElementName(UStringView name);
  // "#DATA", the name of every text run.
  static const UString& textRunName();

  // The whole tag from "<" through ">", or the whole text run; (0, 0) while the tag's ">" was
  // not found.
  Range tagRange() const {
    return tagRange_;
  }
  void setTagRange(Range range) {
    tagRange_ = range;
  }

  // Number of enclosing elements.
  int32_t tagDepth() const {
    return tagDepth_;
  }
  void setTagDepth(int32_t depth) {
    tagDepth_ = depth;
  }

  // The dictionary's end-tag rule of the element (an end tag carries the rule of the element
  // it closes, a text run 2): 0 required, 1 may be omitted, 2 empty, -1 unknown element (and
  // any other value is kept as -1).
  int32_t endTagType() const {
    return int32_t((nameWord_ & kTypeBits) >> kTypeShift) - 1;
  }
  void setEndTagType(int32_t type) {
    const uintptr_t stored = type >= -1 && type <= 2 ? uintptr_t(type + 1) : 0;
    nameWord_ = (nameWord_ & ~kTypeBits) | (stored << kTypeShift);
  }

  // Neighbours in source order in `list`, the list that holds the entry; nullptr when absent
  // (or when the list does not hold the entry). Found at the entry's place in the list, or by
  // a search when the place is not kept up to date (a list put together by hand).
  inline VmkTagLocation* prevTag(const std::vector<std::unique_ptr<VmkTagLocation>>& list) const;
  inline VmkTagLocation* nextTag(const std::vector<std::unique_ptr<VmkTagLocation>>& list) const;

  // The matching start / end tag; not owned, nullptr when absent.
  VmkTagLocation* pairTag() const {
    return pairTag_;
  }
  void setPairTag(VmkTagLocation* tag) {
    pairTag_ = tag;
  }

  // The attributes in source order; absent until the attribute step fills them, and absent
  // for a tag that has none (nullptr).
  const VmkAttributeList* attributes() const {
    return attributes_.get();
  }
  VmkAttributeList* attributes() {
    return attributes_.get();
  }
  void setAttributes(std::optional<VmkAttributeList> attributes) {
    if (attributes)
      attributes_.reset(newAttributeList(std::move(*attributes)));
    else
      attributes_.reset();
  }

  // Position of the entry in its list (set when the list is built).
  uint32_t listIndex() const {
    return listIndex_;
  }
  void setListIndex(uint32_t index) {
    listIndex_ = index;
  }

  // Name tests.
  bool isEndTag() const {
    const UString& name = elementName();
    return !name.empty() && name[0] == u'/';
  }
  bool isTextRun() const {
    const UString& name = elementName();
    return !name.empty() && name[0] == u'#';
  }

 private:
  // The name, whether the entry owns it and the end-tag rule share one word: the name's
  // address (names are aligned to 8), bit 0 set for the entry's own copy, bits 1-2 the rule
  // plus one.
  static constexpr uintptr_t kOwnsName = 1;
  static constexpr unsigned kTypeShift = 1;
  static constexpr uintptr_t kTypeBits = uintptr_t(3) << kTypeShift;
  static constexpr uintptr_t kPointerBits = ~uintptr_t(7);
  static_assert(alignof(UString) >= 8);

  static const UString& emptyName();
  const UString* namePointer() const {
    return reinterpret_cast<const UString*>(nameWord_ & kPointerBits);
  }
  void setNamePointer(const UString* name, bool owned) {
    nameWord_ =
        reinterpret_cast<uintptr_t>(name) | (nameWord_ & kTypeBits) | (owned ? kOwnsName : 0);
  }
  void dropOwnedName() {
    if (nameWord_ & kOwnsName) delete namePointer();
    setNamePointer(&emptyName(), false);
  }

  uintptr_t nameWord_ = reinterpret_cast<uintptr_t>(&emptyName()) | (uintptr_t(1) << kTypeShift);
  Range tagRange_;
  int32_t tagDepth_ = 0;
  uint32_t listIndex_ = 0;
  VmkTagLocation* pairTag_ = nullptr;
  // Attribute lists come from a pool of their own, as the entries do.
  struct AttributeListDelete {
    void operator()(VmkAttributeList* list) const;
  };
  static VmkAttributeList* newAttributeList(VmkAttributeList&& list);
  std::unique_ptr<VmkAttributeList, AttributeListDelete> attributes_;

  // The place of the entry in `list`, or list.size() when the list does not hold it.
  size_t placeIn(const std::vector<std::unique_ptr<VmkTagLocation>>& list) const;

  struct Pool;
};

// Five pointers' worth on 64-bit systems: a large list is mostly made of these.
static_assert(sizeof(void*) != 8 || sizeof(VmkTagLocation) <= 40);

struct VmkTagLocation::Pool : ObjectPool<sizeof(VmkTagLocation), alignof(VmkTagLocation)> {};

#if !defined(VMK_PLAIN_HEAP_TAG_LOCATIONS)
inline void* VmkTagLocation::operator new(std::size_t size) {
  if (size != sizeof(VmkTagLocation)) return ::operator new(size);
  return Pool::allocate();
}

inline void VmkTagLocation::operator delete(void* object, std::size_t size) {
  if (size != sizeof(VmkTagLocation)) return ::operator delete(object);
  Pool::deallocate(object);
}
#endif

// The tag list: owns its entries, in source order; pair links point into it.
using VmkTagLocationList = std::vector<std::unique_ptr<VmkTagLocation>>;

inline size_t VmkTagLocation::placeIn(const VmkTagLocationList& list) const {
  if (listIndex_ < list.size() && list[listIndex_].get() == this) return listIndex_;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == this) return i;
  return list.size();
}

inline VmkTagLocation* VmkTagLocation::prevTag(const VmkTagLocationList& list) const {
  const size_t i = placeIn(list);
  return i > 0 && i < list.size() ? list[i - 1].get() : nullptr;
}

inline VmkTagLocation* VmkTagLocation::nextTag(const VmkTagLocationList& list) const {
  const size_t i = placeIn(list);
  return i + 1 < list.size() ? list[i + 1].get() : nullptr;
}

// The names of a list's entries as the scan noted them, for passes that ask only for names:
// entry i is named *names[ids[i]]. An id stands for one written spelling of a name; the name it
// points to is held by an entry of the list (or interned).
struct VmkNotedEntryNames {
  std::vector<uint32_t> ids;
  std::vector<const UString*> names;
};

}  // namespace vmk
