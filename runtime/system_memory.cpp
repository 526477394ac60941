// System-string blocks: SysAllocStringByteLen and SysFreeString of oleaut32.
#include "runtime/system_memory.h"

#include <windows.h>
#include <oleauto.h>

namespace vornelle {

char* platform_system_allocate(uint32_t size) { return (char*)SysAllocStringByteLen(NULL, size); }

SystemAllocator systemAllocator = platform_system_allocate;

char* system_allocate(uint32_t size) { return systemAllocator(size); }

uint32_t system_block_length(const char* block) {
    return block ? SysStringByteLen((BSTR)block) : 0;
}

void system_free(char* block) {
    if (block) SysFreeString((BSTR)block);
}

}  // namespace vornelle
