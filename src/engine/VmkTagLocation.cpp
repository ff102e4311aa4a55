// Names of tag list entries: the process-wide table of interned spellings and the entry's own
// copies.
#include "engine/VmkTagLocation.h"

#include <mutex>
#include <unordered_set>

namespace vmk {
namespace {

struct InternTable {
  std::mutex mutex;
  std::unordered_set<UString> names;  // nodes keep their addresses
};

// Never destroyed: entries may point into it until the very end of the process.
InternTable& internTable() {
  static InternTable* table = new InternTable;
  return *table;
}

}  // namespace

const UString& VmkTagLocation::internElementName(UStringView name) {
  InternTable& table = internTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return *table.names.emplace(name).first;
}

const UString& VmkTagLocation::textRunName() {
  static const UString& name = internElementName(u"#DATA");
  return name;
}

const UString& VmkTagLocation::emptyName() {
  static const UString* name = new UString;
  return *name;
}

#if defined(VMK_PLAIN_HEAP_TAG_LOCATIONS)
VmkAttributeList* VmkTagLocation::newAttributeList(VmkAttributeList&& list) {
  return new VmkAttributeList(std::move(list));
}

void VmkTagLocation::AttributeListDelete::operator()(VmkAttributeList* list) const {
  delete list;
}
#else
namespace {
using AttributeListPool = ObjectPool<sizeof(VmkAttributeList), alignof(VmkAttributeList)>;
}  // namespace

VmkAttributeList* VmkTagLocation::newAttributeList(VmkAttributeList&& list) {
  void* memory = AttributeListPool::allocate();
  return new (memory) VmkAttributeList(std::move(list));
}

void VmkTagLocation::AttributeListDelete::operator()(VmkAttributeList* list) const {
  list->~VmkAttributeList();
  AttributeListPool::deallocate(list);
}
#endif

void VmkTagLocation::setElementName(UString name) {
  dropOwnedName();
  if (name.empty()) return;
  setNamePointer(new UString(std::move(name)), true);
}

}  // namespace vmk
