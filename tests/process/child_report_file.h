// Test children: the report file named by VORNELLE_CHILD_REPORT, which the
// parent test reads after the child has ended. Nothing is written when the
// variable is not set or the file cannot be opened.
#pragma once
#include <string.h>
#include <windows.h>

namespace child_report_file {

enum WriteMode { REPORT_REPLACE, REPORT_APPEND };

inline void write(const char* text, WriteMode mode) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("VORNELLE_CHILD_REPORT", path, sizeof path)) return;
    HANDLE file = mode == REPORT_APPEND
                      ? CreateFileA(path, FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS, 0, NULL)
                      : CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(file);
}

}  // namespace child_report_file
