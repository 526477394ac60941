// Fuzzing harness only: system-string blocks on the host heap with the
// platform's contract (uncleared bytes, a NUL after them, the length kept in
// front), an allocator hook the fuzz target can make fail, and a free that
// aborts when a block comes back without having been wiped.
#include <stdlib.h>
#include <string.h>

#include "runtime/system_memory.h"

namespace vornelle {

// Larger blocks fail like a platform out of memory; kept small so that repeated
// doubling reaches the failure path quickly and each input stays cheap.
static const uint32_t HOST_BLOCK_LIMIT = 4096;

char* platform_system_allocate(uint32_t size) {
    if (size > HOST_BLOCK_LIMIT) return 0;
    unsigned char* raw = (unsigned char*)malloc(sizeof(uint32_t) + size + 1);
    if (!raw) return 0;
    memcpy(raw, &size, sizeof size);
    memset(raw + sizeof size, 0xA5, size);  // uncleared, and visibly so
    raw[sizeof size + size] = 0;
    return (char*)raw + sizeof size;
}

SystemAllocator systemAllocator = platform_system_allocate;

char* system_allocate(uint32_t size) {
    return systemAllocator(size);
}

uint32_t system_block_length(const char* block) {
    if (!block) return 0;
    uint32_t size;
    memcpy(&size, block - sizeof size, sizeof size);
    return size;
}

void system_free(char* block) {
    if (!block) return;
    uint32_t size = system_block_length(block);
    // A text block must be wiped before it is freed.
    if (size && (block[0] != 0 || memcmp(block, block + 1, size - 1) != 0)) abort();
    free(block - sizeof size);
}

}  // namespace vornelle
