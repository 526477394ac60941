// Soak driver: starts the program, presses its generate button (control 102,
// BM_CLICK) PRESSES times and reads the text box (control 101, WM_GETTEXT)
// after each press. Every pass phrase must be 63 characters of 0-9 A-Z a-z and
// all must differ; the program's resident memory (working set) may grow by at
// most --max-growth-kib after the warm-up; the dialog must still answer and
// close with exit code 0 on SC_CLOSE.
//   soak_driver EXE PRESSES [--warmup N] [--max-growth-kib K]
// Prints "key value" lines; exit code 0 when every check holds.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "tests/support/main_dialog_program.h"
#include "tests/support/passphrase_check.h"

using namespace vornelle_test;

static SIZE_T resident_bytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

static const DWORD ANSWER_MS = 10000;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_driver EXE PRESSES [--warmup N] [--max-growth-kib K]\n");
        return 1;
    }
    const char* exe = argv[1];
    long presses = std::strtol(argv[2], NULL, 10);
    long warmup = presses / 10;
    long maxGrowthKib = 512;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--warmup") == 0) warmup = std::strtol(argv[i + 1], NULL, 10);
        if (std::strcmp(argv[i], "--max-growth-kib") == 0)
            maxGrowthKib = std::strtol(argv[i + 1], NULL, 10);
    }
    if (presses < 1 || warmup >= presses) {
        std::fprintf(stderr, "soak_driver: need PRESSES > warm-up\n");
        return 1;
    }

    MainDialogProgram started;
    std::string failure = start_main_dialog(exe, &started);
    if (!failure.empty()) {
        std::printf("error %s\n", failure.c_str());
        return 3;
    }
    HWND dialog = started.program.dialog, box = started.box, button = started.button;

    std::unordered_set<std::string> seen;
    seen.reserve((size_t)presses * 2);
    long invalid = 0, repeated = 0, unanswered = 0;
    SIZE_T baseRss = 0, peakRss = 0;
    char text[256];
    double begin = seconds_now();
    for (long i = 1; i <= presses; ++i) {
        DWORD_PTR ignored = 0, length = 0;
        if (!SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, ANSWER_MS, &ignored)) {
            ++unanswered;
            break;
        }
        text[0] = 0;
        if (!SendMessageTimeoutA(box, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL,
                                 ANSWER_MS, &length)) {
            ++unanswered;
            break;
        }
        if (std::strlen(text) != length || !is_passphrase(text, length)) {
            if (invalid++ < 5) std::printf("invalid_text \"%s\" (length %lu)\n", text, (unsigned long)length);
        } else if (!seen.insert(std::string(text, 63)).second) {
            ++repeated;
        }
        if (i == warmup) baseRss = peakRss = resident_bytes(started.program.process.hProcess);
        if (i > warmup && (i % 500 == 0 || i == presses)) {
            SIZE_T rss = resident_bytes(started.program.process.hProcess);
            if (rss > peakRss) peakRss = rss;
        }
    }
    double elapsed = seconds_now() - begin;
    SIZE_T endRss = resident_bytes(started.program.process.hProcess);
    long code = unanswered ? -1 : close_and_wait(dialog, started.program.process.hProcess, ANSWER_MS);
    if (code == -1) TerminateProcess(started.program.process.hProcess, 1);

    long long growthKib = ((long long)peakRss - (long long)baseRss) / 1024;
    std::printf("presses %ld\ndistinct %lu\ninvalid %ld\nrepeated %ld\nunanswered %ld\n", presses,
                (unsigned long)seen.size(), invalid, repeated, unanswered);
    std::printf("presses_per_s %.0f\n", presses / elapsed);
    std::printf("rss_after_warmup_kib %lu\nrss_peak_kib %lu\nrss_end_kib %lu\nrss_growth_kib %lld\n",
                (unsigned long)(baseRss / 1024), (unsigned long)(peakRss / 1024),
                (unsigned long)(endRss / 1024), growthKib);
    std::printf("exit_code %ld\n", code);
    bool ok = invalid == 0 && repeated == 0 && unanswered == 0 && (long)seen.size() == presses &&
              baseRss > 0 && growthKib <= maxGrowthKib && code == 0;
    std::printf("result %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 5;
}
