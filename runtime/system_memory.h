// The platform's system-string allocator, which holds both the runtime's
// dynamic text and the toolkit's window records. Blocks come uncleared and carry
// their byte length; a test may swap the allocator to make allocation fail.
#pragma once
#include <stdint.h>

namespace vornelle {

// Returns an uncleared block of size bytes (followed by a NUL terminator), or
// null when memory runs out.
typedef char* (*SystemAllocator)(uint32_t size);

// SysAllocStringByteLen(NULL, size).
char* platform_system_allocate(uint32_t size);
extern SystemAllocator systemAllocator;

char* system_allocate(uint32_t size);
// The byte length the block was allocated with.
uint32_t system_block_length(const char* block);
// SysFreeString; a null block is ignored.
void system_free(char* block);

}  // namespace vornelle
