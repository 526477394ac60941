// The command-line tail rules: a quoted name ends at the next quote, an
// unquoted one at the first byte of value 0x20 or less; spaces after the name
// are skipped, any other control byte starts the tail.
#include "runtime/command_tail.h"

namespace vornelle {

static const unsigned char TAIL_QUOTE = '"';
static const unsigned char TAIL_BLANK = ' ';

static const unsigned char* skip_blanks(const unsigned char* at) {
    while (*at == TAIL_BLANK) ++at;
    return at;
}

const char* command_tail(const char* commandLine) {
    if (!commandLine) return "";
    const unsigned char* at = (const unsigned char*)commandLine;
    if (*at == TAIL_QUOTE) {
        ++at;
        while (*at != 0 && *at != TAIL_QUOTE) ++at;
        // Without a closing quote the name takes the whole line.
        if (*at == 0) return (const char*)at;
        return (const char*)skip_blanks(at + 1);
    }
    // A line that starts with blanks has an empty name.
    if (*at == TAIL_BLANK) return (const char*)skip_blanks(at);
    if (*at == 0) return (const char*)at;
    // The first byte is the name's whatever it is (a tab, say).
    ++at;
    while (*at > TAIL_BLANK) ++at;
    if (*at == TAIL_BLANK) return (const char*)skip_blanks(at);
    // The terminating NUL, a tab or another control byte starts the tail.
    return (const char*)at;
}

}  // namespace vornelle
