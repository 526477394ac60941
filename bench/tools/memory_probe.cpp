// Memory probe: starts the program, presses its generate button PRESSES times
// (default 5), reading each pass phrase from the text box as any program of
// the same user can (WM_GETTEXT), then searches all of the program's readable
// memory for every one of them, as 8-bit and as 16-bit text. It shows which
// pass phrases outlive the press that made them, and in what kind of memory
// (image, mapped, private), which the program's own wiping cannot reach.
//   memory_probe EXE [PRESSES]
// Prints one "press N ansi A utf16 U (kinds)" line per pass phrase.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/tools/started_dialog.h"

using namespace bench;
using namespace vornelle_test;

namespace {

struct Found {
    long ansi = 0, utf16 = 0;
    std::string kinds;
};

const char* kind_of(DWORD type) {
    return type == MEM_IMAGE ? "image" : type == MEM_MAPPED ? "mapped" : "private";
}

long count_in(const std::string& memory, const std::string& needle) {
    long count = 0;
    for (size_t at = memory.find(needle); at != std::string::npos;
         at = memory.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

std::string widened(const std::string& text) {
    std::string wide;
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: memory_probe EXE [PRESSES]\n");
        return 1;
    }
    long presses = argc > 2 ? std::strtol(argv[2], NULL, 10) : 5;
    StartedDialog started;
    if (int failed = start_dialog(argv[1], &started)) return failed;
    HWND dialog = started.dialog, box = started.box, button = started.button;
    std::vector<std::string> passphrases;
    for (long i = 0; i < presses; ++i) {
        DWORD_PTR ignored = 0;
        char text[128] = {};
        SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored);
        SendMessageTimeoutA(box, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 10000,
                            &ignored);
        passphrases.push_back(text);
    }

    std::vector<Found> found(passphrases.size());
    MEMORY_BASIC_INFORMATION region;
    for (char* at = 0; VirtualQueryEx(started.process.hProcess, at, &region, sizeof region);
         at = (char*)region.BaseAddress + region.RegionSize) {
        bool readable = region.State == MEM_COMMIT &&
                        !(region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) && region.Protect;
        if (!readable) continue;
        std::string memory(region.RegionSize, '\0');
        SIZE_T read = 0;
        if (!ReadProcessMemory(started.process.hProcess, region.BaseAddress, &memory[0], memory.size(),
                               &read)) {
            continue;
        }
        memory.resize(read);
        for (size_t i = 0; i < passphrases.size(); ++i) {
            long ansi = count_in(memory, passphrases[i]);
            long utf16 = count_in(memory, widened(passphrases[i]));
            found[i].ansi += ansi;
            found[i].utf16 += utf16;
            if ((ansi || utf16) && found[i].kinds.find(kind_of(region.Type)) == std::string::npos) {
                found[i].kinds += std::string(found[i].kinds.empty() ? "" : " ") +
                                  kind_of(region.Type);
            }
        }
    }
    for (size_t i = 0; i < passphrases.size(); ++i) {
        std::printf("press %zu%s ansi %ld utf16 %ld (%s)\n", i + 1,
                    i + 1 == passphrases.size() ? " (on show)" : "", found[i].ansi,
                    found[i].utf16, found[i].kinds.c_str());
    }
    long code = close_and_wait(dialog, started.process.hProcess, 10000);
    if (code == -1) TerminateProcess(started.process.hProcess, 1);
    return 0;
}
