// Dynamic text: 8-bit strings with an explicit length in system-string blocks,
// handed to the platform NUL-terminated. An operation whose allocation fails
// records RuntimeError 7 in the caller's activation and leaves its target as it
// was. Blocks are wiped before they are freed, since text may hold a secret.
#pragma once
#include <stdint.h>

#include "runtime/runtime_error.h"

namespace vornelle {

struct Text {
    char* bytes;  // a system-string block, or null for the empty text
};

uint32_t text_length(Text text);
// The characters, NUL-terminated; "" for the empty text.
const char* text_chars(Text text);
// Wipes and frees the block; the text becomes empty.
void text_free(Text* text);

// target = length bytes from source (source may overlap target).
void text_assign(ActivationRecord* activation, Text* target, const char* source, uint32_t length);
// target = left followed by right (either may be target itself).
void text_concat(ActivationRecord* activation, Text* target, Text left, Text right);
// target = count bytes of source from start (0-based), clipped to the source.
void text_substring(ActivationRecord* activation, Text* target, Text source, uint32_t start,
                    uint32_t count);
// target = target followed by length bytes of source.
void text_append(ActivationRecord* activation, Text* target, const char* source, uint32_t length);

}  // namespace vornelle
