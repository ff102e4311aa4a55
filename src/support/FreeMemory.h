// Handing memory that was freed back to the system.
#pragma once

namespace vmk {

// Gives the pages of the heap's free blocks back to the system (where the allocator allows
// it), so that freeing a large structure lowers the process's resident memory before the next
// large one is made. Costs a walk over the heap's free blocks: call it after large frees only.
void giveBackFreeMemory();

}  // namespace vmk
