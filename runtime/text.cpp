// Dynamic text over system-string blocks. Every operation builds its result in
// a new block before it lets go of the target's old one, so a source inside the
// target is read before it goes; a failed allocation leaves the target as it
// was and records RuntimeError 7. Blocks are wiped before they are freed.
#include "runtime/text.h"

#include <string.h>

#include "runtime/system_memory.h"
#include "runtime/wipe.h"

namespace vornelle {

// The longest text: lengths are handed to the application as signed 32-bit
// values, and a length past this fails like an allocation would.
static const uint64_t TEXT_MAX_LENGTH = 0x7FFFFFFF;

uint32_t text_length(Text text) { return system_block_length(text.bytes); }

const char* text_chars(Text text) { return text.bytes ? text.bytes : ""; }

void text_free(Text* text) {
    if (!text->bytes) return;
    wipe_bytes(text->bytes, system_block_length(text->bytes));
    system_free(text->bytes);
    text->bytes = 0;
}

// A new block for length bytes and their NUL, or null with error 7 recorded.
static char* text_block(ActivationRecord* activation, uint64_t length) {
    char* block = length <= TEXT_MAX_LENGTH ? system_allocate((uint32_t)length) : 0;
    if (!block) {
        raise_runtime_error(activation, RUNTIME_OUT_OF_MEMORY);
        return 0;
    }
    block[length] = 0;
    return block;
}

// The target takes the new block (null: the empty text) and lets go of its old one.
static void text_replace(Text* target, char* block) {
    Text old = *target;
    target->bytes = block;
    text_free(&old);
}

void text_assign(ActivationRecord* activation, Text* target, const char* source, uint32_t length) {
    if (!source || length == 0) {
        text_free(target);
        return;
    }
    char* block = text_block(activation, length);
    if (!block) return;
    memcpy(block, source, length);
    text_replace(target, block);
}

void text_concat(ActivationRecord* activation, Text* target, Text left, Text right) {
    uint32_t leftLength = text_length(left);
    uint32_t rightLength = text_length(right);
    uint64_t length = (uint64_t)leftLength + rightLength;
    if (length == 0) {
        text_free(target);
        return;
    }
    char* block = text_block(activation, length);
    if (!block) return;
    if (leftLength) memcpy(block, left.bytes, leftLength);
    if (rightLength) memcpy(block + leftLength, right.bytes, rightLength);
    text_replace(target, block);
}

void text_substring(ActivationRecord* activation, Text* target, Text source, uint32_t start,
                    uint32_t count) {
    uint32_t length = text_length(source);
    if (start >= length) {
        count = 0;
    } else if (count > length - start) {
        count = length - start;
    }
    text_assign(activation, target, count ? source.bytes + start : 0, count);
}

void text_append(ActivationRecord* activation, Text* target, const char* source, uint32_t length) {
    if (!source || length == 0) return;
    uint32_t oldLength = text_length(*target);
    char* block = text_block(activation, (uint64_t)oldLength + length);
    if (!block) return;
    if (oldLength) memcpy(block, target->bytes, oldLength);
    memcpy(block + oldLength, source, length);
    text_replace(target, block);
}

}  // namespace vornelle
