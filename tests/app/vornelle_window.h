// Test support for working vornelle.exe from another process, the way an
// automation client does: finding its dialog, reading window texts through the
// target's own message handling, and waiting for a condition with a deadline.
#pragma once
#include <windows.h>

#include <string>

namespace vornelle_test {

const char VORNELLE_TITLE[] = "Vornelle   v 1.0";
const char DIALOG_CLASS[] = "#32770";

// Polls condition every 10 ms until it holds or timeoutMs have passed.
template <typename Condition>
bool wait_until(Condition condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

inline std::string class_of(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
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

struct DialogSearch {
    DWORD processId;  // 0: any process
    HWND found;
};

inline BOOL CALLBACK match_dialog(HWND window, LPARAM context) {
    DialogSearch* search = (DialogSearch*)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId) return TRUE;
    if (!IsWindowVisible(window) || class_of(window) != DIALOG_CLASS) return TRUE;
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    if (!search->processId && std::string(title) != VORNELLE_TITLE) return TRUE;
    search->found = window;
    return FALSE;
}

// The visible dialog of the process (processId 0: the visible dialog titled
// like Vornelle's, of any process), or null.
inline HWND find_visible_dialog(DWORD processId) {
    DialogSearch search = {processId, 0};
    EnumWindows(match_dialog, (LPARAM)&search);
    return search.found;
}

// A dialog program started for a test, and the dialog it showed.
struct DialogProgram {
    PROCESS_INFORMATION process;
    HWND dialog;
};

// Starts the program at path (a Windows path) and waits until its dialog is
// visible and answers; "" on success, otherwise what went wrong.
inline std::string start_dialog_program(const std::string& path, DialogProgram* program) {
    *program = DialogProgram();
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &program->process)) {
        return "cannot start " + commandLine + ", error " + std::to_string(GetLastError());
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
    if (!program->process.hProcess) return;
    if (WaitForSingleObject(program->process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program->process.hProcess, 1);
        WaitForSingleObject(program->process.hProcess, 10000);
    }
    CloseHandle(program->process.hThread);
    CloseHandle(program->process.hProcess);
    *program = DialogProgram();
}

}  // namespace vornelle_test
