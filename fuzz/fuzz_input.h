// Fuzz targets: the input read as a stream of bytes; past its end every byte
// reads 0, so a target never runs out of input.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    uint8_t byte() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    // The next count bytes (fewer where the input ends), whose number goes to
    // *taken.
    const char* take(uint32_t count, uint32_t* taken) {
        *taken = count < size ? count : (uint32_t)size;
        const char* at = (const char*)data;
        data += *taken;
        size -= *taken;
        return at;
    }
    // Four bytes, least significant first.
    uint32_t word() {
        uint32_t w = byte();
        w |= (uint32_t)byte() << 8;
        w |= (uint32_t)byte() << 16;
        return w | (uint32_t)byte() << 24;
    }
};
