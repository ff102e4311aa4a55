// Advice to the system about large buffers that are about to be filled.
#pragma once

#include <cstddef>

namespace vmk {

// Asks for large pages on the whole 2 MB blocks inside a buffer about to be filled: a buffer of
// many megabytes is then backed by a few faults instead of thousands. Advice only; harmless
// where the system does not follow it, and nothing is done for buffers under 4 MB.
void adviseLargePages(void* data, size_t bytes);

}  // namespace vmk
