// Fuzzing harness only: the one platform routine that the pure runtime text code
// takes from windows.h, for a native (non-Windows) build of the fuzz targets.
// Never part of the program, which uses the platform's own header.
#pragma once
#include <stddef.h>
#include <string.h>

// The empty assembly statement keeps the compiler from dropping the stores.
static inline void* SecureZeroMemory(void* block, size_t size) {
    memset(block, 0, size);
    __asm__ __volatile__("" : : "r"(block) : "memory");
    return block;
}
