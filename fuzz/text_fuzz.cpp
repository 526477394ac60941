// Fuzz target: a program of text operations read from the input, run on four
// texts and on a std::string model of each side by side, with allocations that
// the input can make fail. After each step every text must equal its model and
// be NUL-terminated, and a failed step must have recorded 0xB007 and changed
// nothing. The harness's free aborts on any block that was not wiped.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz/fuzz_input.h"
#include "runtime/system_memory.h"
#include "runtime/text.h"

using namespace vornelle;

namespace {

const int SLOTS = 4;

// A position or count: two bytes, and now and then a huge value instead, to
// reach the clipping edges.
uint32_t edge_word(FuzzInput& in) {
    uint32_t w = in.byte();
    w |= (uint32_t)in.byte() << 8;
    return (in.byte() & 0x80) ? 0xFFFFFFFFu - (w & 0xFF) : w;
}

bool failNextAllocation;
bool allocationFailed;

char* fuzz_allocator(uint32_t size) {
    if (failNextAllocation) {
        failNextAllocation = false;
        allocationFailed = true;
        return 0;
    }
    char* block = platform_system_allocate(size);
    if (!block) allocationFailed = true;
    return block;
}

// A slice of a text chosen by the input: a start inside it (0 when it is
// empty) and a length that stays inside it.
struct Slice {
    uint32_t start, length;
};
Slice pick_slice(FuzzInput& in, Text t) {
    uint32_t length = text_length(t);
    uint32_t start = length ? in.byte() % length : 0;
    return {start, length ? in.byte() % (length - start + 1) : 0};
}

std::string str(Text t) {
    return std::string(text_chars(t), text_length(t));
}

void check(bool condition) {
    if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = {data, size};
    Text texts[SLOTS] = {};
    std::string models[SLOTS];
    systemAllocator = fuzz_allocator;
    failNextAllocation = false;

    while (in.size) {
        uint8_t op = in.byte();
        int i = op >> 3 & 3, j = op >> 5 & 3, k = (op >> 7 | (op & 1) << 1) & 3;
        ActivationRecord activation = {};
        allocationFailed = false;
        std::string before = models[i], result;
        switch (op & 7) {
            case 0: {  // assign bytes of the input
                uint32_t n;
                const char* bytes = in.take(in.byte(), &n);
                text_assign(&activation, &texts[i], bytes, n);
                result.assign(bytes, n);
                break;
            }
            case 1: {  // assign a slice of another text, or of the target itself
                Slice at = pick_slice(in, texts[j]);
                const char* from = texts[j].bytes ? texts[j].bytes + at.start : 0;
                text_assign(&activation, &texts[i], from, at.length);
                result = models[j].substr(at.start, at.length);
                break;
            }
            case 2:
                text_concat(&activation, &texts[i], texts[j], texts[k]);
                result = models[j] + models[k];
                break;
            case 3: {
                uint32_t start = edge_word(in), count = edge_word(in);
                text_substring(&activation, &texts[i], texts[j], start, count);
                result = start < models[j].size() ? models[j].substr(start, count) : "";
                break;
            }
            case 4: {  // append bytes of the input
                uint32_t n;
                const char* bytes = in.take(in.byte(), &n);
                text_append(&activation, &texts[i], bytes, n);
                result = models[i] + std::string(bytes, n);
                break;
            }
            case 5: {  // append a slice of another text, or of the target itself
                Slice at = pick_slice(in, texts[j]);
                const char* from = texts[j].bytes ? texts[j].bytes + at.start : 0;
                text_append(&activation, &texts[i], from, at.length);
                result = models[i] + models[j].substr(at.start, at.length);
                break;
            }
            case 6:
                text_free(&texts[i]);
                result.clear();
                break;
            case 7:
                failNextAllocation = true;
                result = models[i];
                break;
        }
        if (allocationFailed) {
            check(activation.errorWord == 0xB007);
            check(str(texts[i]) == before);
        } else {
            check(activation.errorWord == 0);
            models[i] = result;
        }
        for (int s = 0; s < SLOTS; ++s) {
            check(str(texts[s]) == models[s]);
            check(text_chars(texts[s])[text_length(texts[s])] == 0);
            check(models[s].empty() == (texts[s].bytes == 0));
        }
    }
    for (int s = 0; s < SLOTS; ++s) text_free(&texts[s]);
    return 0;
}
