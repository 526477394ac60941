// Working a GUI program from outside, for the bench tools: start it, wait for
// its first visible top-level window, close it from the system menu and collect
// its exit code. Only documented Win32 calls; usable on Windows and under Wine.
#pragma once
#include <windows.h>

#include <string>

namespace bench {

inline double seconds_now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

inline BOOL CALLBACK match_visible_window(HWND window, LPARAM param) {
    WindowSearch* search = (WindowSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first visible top-level window of process pid, or null.
inline HWND visible_window_of(DWORD pid) {
    WindowSearch search = {pid, NULL};
    EnumWindows(match_visible_window, (LPARAM)&search);
    return search.found;
}

// Starts exe (with no arguments besides its name); false when it cannot.
inline bool start_program(const char* exe, PROCESS_INFORMATION* started) {
    std::string commandLine = std::string("\"") + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          started) != 0;
}

// Polls every millisecond until process has a visible window; null when it
// exits first or timeoutSeconds pass.
inline HWND wait_for_window(HANDLE process, DWORD pid, double timeoutSeconds) {
    double deadline = seconds_now() + timeoutSeconds;
    for (;;) {
        HWND window = visible_window_of(pid);
        if (window) return window;
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return NULL;
        if (seconds_now() > deadline) return NULL;
        Sleep(1);
    }
}

// Closes window from its system menu (SC_CLOSE) and waits for the process to
// end. Returns its exit code, or -1 when it does not end within timeoutMs.
inline long close_and_wait(HWND window, HANDLE process, DWORD timeoutMs) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return (long)code;
}

}  // namespace bench
