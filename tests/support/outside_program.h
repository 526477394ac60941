// Working a program from outside, the way an automation client does: start it,
// find its window, wait for a condition with a deadline, read window texts
// through the target's own message handling, close it and collect its exit
// code. Shared by the end-to-end tests, the X input probe and the bench tools;
// only documented Win32 calls, so it runs on Windows and under Wine alike.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/window_class.h"

namespace vornelle_test {

// Seconds on the performance counter: for timings finer than a millisecond.
inline double seconds_now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Polls condition every pollMs until it holds or timeoutMs have passed.
template <typename Condition>
bool wait_until(Condition condition, DWORD timeoutMs, DWORD pollMs = 10) {
    double deadline = seconds_now() + timeoutMs / 1000.0;
    for (;;) {
        if (condition()) return true;
        if (seconds_now() >= deadline) return false;
        Sleep(pollMs);
    }
}

// The window's text as the window itself reports it (WM_GETTEXT, which the
// platform carries across processes), or "<no answer>" when it does not answer.
inline std::string text_of(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return "<no answer>";
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), (LPARAM)&text[0], SMTO_ABORTIFHUNG,
                             5000, &copied)) {
        return "<no answer>";
    }
    text.resize(copied);
    return text;
}

// What a search of the top-level windows looks for; 0 or null matches any.
struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

inline BOOL CALLBACK match_window(HWND window, LPARAM context) {
    WindowSearch* search = (WindowSearch*)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    if (search->className && class_of(window) != search->className) return TRUE;
    if (search->title) {
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        if (std::string(title) != search->title) return TRUE;
    }
    search->found = window;
    return FALSE;
}

// The first visible top-level window of process processId, or null.
inline HWND visible_window_of(DWORD processId) {
    WindowSearch search = {processId, NULL, NULL, 0};
    EnumWindows(match_window, (LPARAM)&search);
    return search.found;
}

// The visible dialog of process processId, or null; with processId 0, the
// visible dialog titled title of any process.
inline HWND find_visible_dialog(DWORD processId, const char* title = NULL) {
    WindowSearch search = {processId, DIALOG_CLASS, processId ? NULL : title, 0};
    EnumWindows(match_window, (LPARAM)&search);
    return search.found;
}

// Starts the program at path, its quoted name followed by arguments (raw bytes,
// none by default); false when it cannot, with the reason in GetLastError.
inline bool start_program(const std::string& path, PROCESS_INFORMATION* started,
                          const std::string& arguments = "") {
    std::string commandLine = "\"" + path + "\"" + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(path.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                          &startup, started) != 0;
}

// Polls every millisecond until the process has a visible top-level window;
// null when it exits first or timeoutMs pass. Fine enough to time a launch.
inline HWND wait_for_window(const PROCESS_INFORMATION& process, DWORD timeoutMs) {
    HWND window = 0;
    bool ended = false;
    wait_until([&] {
        window = visible_window_of(process.dwProcessId);
        ended = !window && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        return window || ended;
    }, timeoutMs, 1);
    return window;
}

// Sends message to window and waits for it to be handled, for 5 s at most;
// false when the window does not answer. The answer goes to result if given.
inline bool send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                 LRESULT* result = NULL) {
    DWORD_PTR answer = 0;
    bool answered = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000,
                                        &answer) != 0;
    if (result) *result = (LRESULT)answer;
    return answered;
}

inline bool is_running(const PROCESS_INFORMATION& process) {
    return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

// The window with the keyboard focus in the process's first thread, or null.
inline HWND focus_of(const PROCESS_INFORMATION& process) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(process.dwThreadId, &info)) return 0;
    return info.hwndFocus;
}

// The process's exit code once it ends, or 1234 when it has not ended within
// timeoutMs.
inline DWORD exit_code_within(const PROCESS_INFORMATION& process, DWORD timeoutMs) {
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return 1234;
    DWORD code = 1234;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
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

// Ends the process if it still runs and lets go of its handles.
inline void stop_program(PROCESS_INFORMATION* process) {
    if (!process->hProcess) return;
    if (WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process->hProcess, 1);
        WaitForSingleObject(process->hProcess, 10000);
    }
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    *process = PROCESS_INFORMATION();
}

// A dialog program started for a test, and the dialog it showed.
struct DialogProgram {
    PROCESS_INFORMATION process;
    HWND dialog;
};

// Starts the program at path (a Windows path; arguments as for start_program)
// and waits until its dialog is visible and answers; "" on success, otherwise
// what went wrong.
inline std::string start_dialog_program(const std::string& path, DialogProgram* program,
                                        const std::string& arguments = "") {
    *program = DialogProgram();
    if (!start_program(path, &program->process, arguments)) {
        return "cannot start \"" + path + "\", error " + std::to_string(GetLastError());
    }
    if (!wait_until([&] {
            return (program->dialog = find_visible_dialog(program->process.dwProcessId)) != 0;
        }, 20000)) {
        return "no visible dialog of " + path;
    }
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(program->dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) {
        return "the dialog of " + path + " does not answer";
    }
    return "";
}

// Ends the program if it still runs and lets go of its handles.
inline void stop_dialog_program(DialogProgram* program) {
    stop_program(&program->process);
    *program = DialogProgram();
}

}  // namespace vornelle_test
