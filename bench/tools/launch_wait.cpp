// Launch-time probe: starts a GUI program and measures, with the performance
// counter, the time from CreateProcess to its first visible top-level window.
//   launch_wait launch EXE   measure, then close it (SC_CLOSE) and check exit 0
//   launch_wait start EXE    measure and leave it running; prints its pid
//   launch_wait close PID    close the visible window of PID, wait, print exit
// Output lines are "key value"; the exit code is 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/outside_program.h"

using namespace vornelle_test;

static int launch(const char* exe, bool closeAfter) {
    PROCESS_INFORMATION started = {};
    double start = seconds_now();
    if (!start_program(exe, &started)) {
        std::printf("error cannot-start %lu\n", GetLastError());
        return 2;
    }
    // Polled every millisecond, timed on the performance counter.
    HWND window = wait_for_window(started, 30000);
    double shown = seconds_now();
    if (!window) {
        std::printf("error no-window\n");
        TerminateProcess(started.hProcess, 1);
        return 3;
    }
    std::printf("launch_ms %.3f\npid %lu\n", (shown - start) * 1000.0, started.dwProcessId);
    std::fflush(stdout);
    if (!closeAfter) return 0;
    // Let the program finish painting before it is asked to close.
    Sleep(200);
    long code = close_and_wait(window, started.hProcess, 10000);
    std::printf("exit_code %ld\n", code);
    return code == 0 ? 0 : 4;
}

static int close_pid(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) {
        std::printf("error cannot-open %lu\n", GetLastError());
        return 2;
    }
    HWND window = visible_window_of(pid);
    if (!window) {
        std::printf("error no-window\n");
        return 3;
    }
    long code = close_and_wait(window, process, 10000);
    std::printf("exit_code %ld\n", code);
    return code == 0 ? 0 : 4;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "launch") == 0) return launch(argv[2], true);
    if (argc == 3 && std::strcmp(argv[1], "start") == 0) return launch(argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return close_pid((DWORD)std::strtoul(argv[2], NULL, 10));
    std::fprintf(stderr, "usage: launch_wait launch|start EXE | close PID\n");
    return 1;
}
