// Fuzz target: command_tail over any bytes (cut at the first NUL, as the
// platform's text is), checked against an index-based statement of the rules.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "runtime/command_tail.h"

namespace {

// The rules again, by index: where the tail of line starts.
size_t expected_tail_start(const std::string& line) {
    size_t n = line.size(), i = 0;
    if (n == 0) return 0;
    if (line[0] == '"') {
        size_t close = line.find('"', 1);
        if (close == std::string::npos) return n;
        i = close + 1;
    } else if (line[0] != ' ') {
        i = 1;
        while (i < n && (unsigned char)line[i] > 0x20) ++i;
        if (i < n && line[i] != ' ') return i;
    }
    while (i < n && line[i] == ' ') ++i;
    return i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line((const char*)data, size);
    line = line.c_str();  // the platform's line ends at its NUL
    const char* text = line.c_str();
    const char* tail = vornelle::command_tail(text);
    if (tail < text || tail > text + line.size()) abort();
    if ((size_t)(tail - text) != expected_tail_start(line)) abort();
    if (*tail == ' ') abort();  // a tail never starts with a blank
    return 0;
}
