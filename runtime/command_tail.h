// The command-line tail: what follows the program name on the platform's
// command line. Pure byte scanning over NUL-terminated text, with no platform
// dependency, so any bytes can be fed to it.
#pragma once

namespace vornelle {

// The tail of commandLine, pointing into it (never copied). Only the space
// (0x20) is a blank; a quoted program name runs to the next double quote; an
// unquoted one runs to the first byte of value 0x20 or less (bytes 0x80 to
// 0xFF belong to the name). A null line has the empty tail.
const char* command_tail(const char* commandLine);

}  // namespace vornelle
