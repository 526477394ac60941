// wipe_bytes: sets a block to zero with stores the compiler must keep, for
// secrets and freed memory that nothing reads again. Pure code: no platform
// header, so whatever uses it stays testable and fuzzable anywhere.
#pragma once
#include <stddef.h>

namespace vornelle {

// Every byte is written through a volatile pointer, so the stores count as
// observable and no optimiser may drop them, even right before a free.
inline void wipe_bytes(void* block, size_t size) {
    volatile unsigned char* bytes = (volatile unsigned char*)block;
    while (size--) *bytes++ = 0;
}

}  // namespace vornelle
