// Test support: the allocator behind window records made to refuse, the one
// failure of record creation that the platform cannot be made to produce.
#pragma once
#include <stdint.h>

#include "runtime/system_memory.h"

namespace vornelle_test {

// While it lives, the allocator behind window records refuses every block.
struct RecordMemoryRefused {
    vornelle::SystemAllocator saved = vornelle::systemAllocator;
    RecordMemoryRefused() {
        vornelle::systemAllocator = [](uint32_t) -> char* { return nullptr; };
    }
    ~RecordMemoryRefused() { vornelle::systemAllocator = saved; }
};

}  // namespace vornelle_test
