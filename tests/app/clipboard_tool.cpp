// A small console tool for scripts that copy from vornelle.exe with real X
// input: it reads the clipboard as another program of the user would, and puts
// a known text there first so that a script can tell whether a copy changed it.
//   clipboard_tool put TEXT   the clipboard holds TEXT alone
//   clipboard_tool text       the clipboard's CF_UNICODETEXT ("<none>": none)
//   clipboard_tool marks      the DWORD held by each format that keeps the text
//                             out of clipboard history and the cloud clipboard,
//                             in a line ("missing" for an absent one)
//   clipboard_tool formats    the formats' numbers, standard ones only, in order
//   clipboard_tool sequence   the clipboard's sequence number, which every
//                             change of its content advances
// Exit code 0 on success, 1 when the clipboard cannot be read or written.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "tests/app/clipboard_reading.h"

using namespace vornelle_test;

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "put" && argc > 2) return put_clipboard_text(argv[2]) ? 0 : 1;
    if (command == "sequence") {
        printf("%lu\n", (unsigned long)GetClipboardSequenceNumber());
        fflush(stdout);
        return 0;
    }

    ClipboardContent content = read_clipboard();
    if (!content.opened) {
        fprintf(stderr, "clipboard_tool: the clipboard cannot be opened\n");
        return 1;
    }
    if (command == "text") {
        std::string text = narrow(content.unicodeText);
        printf("%s\n", content.has(CF_UNICODETEXT) ? text.c_str() : "<none>");
    } else if (command == "marks") {
        std::string line;
        for (const char* name : PRIVACY_FORMATS) {
            const ClipboardFormat* format = content.find(name);
            if (!line.empty()) line += " ";
            if (!format) {
                line += "missing";
            } else if (format->bytes.size() < sizeof(DWORD)) {
                line += "short";
            } else {
                DWORD value = 0;
                memcpy(&value, format->bytes.data(), sizeof value);
                line += std::to_string(value);
            }
        }
        printf("%s\n", line.c_str());
    } else if (command == "formats") {
        std::string line;
        for (const ClipboardFormat& format : content.formats) {
            if (!format.name.empty()) continue;
            if (!line.empty()) line += " ";
            line += std::to_string(format.id);
        }
        printf("%s\n", line.c_str());
    } else {
        fprintf(stderr, "usage: clipboard_tool put TEXT|text|marks|formats|sequence\n");
        return 2;
    }
    fflush(stdout);
    return 0;
}
