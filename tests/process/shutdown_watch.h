// Test children: the end of the process watched from inside. The child's own
// calls of TlsFree (the thread states' slot), CoUninitialize and ExitProcess
// are patched in its import table, and once noting is on each call is noted in
// order; at ExitProcess the child also asks COM whether it is still
// initialised on this thread, and appends both to the report file named by
// VORNELLE_CHILD_REPORT:
//   shutdown=TlsFree CoUninitialize ExitProcess(0)
//   com_at_exit=uninitialised
// The patch must come before run_process starts: the compiler may keep an
// imported address in a register across the call of the main function.
#pragma once
#include <objbase.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "tests/process/child_report_file.h"
#include "tests/support/import_patch.h"

namespace shutdown_watch {

inline char* calls() {
    static char text[256];
    return text;
}

inline bool& noting() {
    static bool on;
    return on;
}

// Forgets what was noted so far and notes every call from here on.
inline void note_from_here() {
    calls()[0] = 0;
    noting() = true;
}

inline void note(const char* call) {
    if (!noting()) return;
    char* text = calls();
    if (*text) strncat(text, " ", 255 - strlen(text));
    strncat(text, call, 255 - strlen(text));
}

typedef BOOL(WINAPI* TlsFreeFunction)(DWORD);
typedef void(WINAPI* CoUninitializeFunction)();
typedef void(WINAPI* ExitProcessFunction)(UINT);

inline TlsFreeFunction& platform_tls_free() {
    static TlsFreeFunction function;
    return function;
}
inline CoUninitializeFunction& platform_co_uninitialize() {
    static CoUninitializeFunction function;
    return function;
}
inline ExitProcessFunction& platform_exit_process() {
    static ExitProcessFunction function;
    return function;
}

inline BOOL WINAPI watched_tls_free(DWORD slot) {
    note("TlsFree");
    return platform_tls_free()(slot);
}

inline void WINAPI watched_co_uninitialize() {
    note("CoUninitialize");
    platform_co_uninitialize()();
}

inline void WINAPI watched_exit_process(UINT code) {
    char call[32];
    snprintf(call, sizeof call, "ExitProcess(%u)", code);
    note(call);
    // S_OK: COM was no longer initialised on this thread, so this made it so.
    HRESULT again = CoInitialize(NULL);
    char lines[400];
    snprintf(lines, sizeof lines, "shutdown=%s\ncom_at_exit=%s\n", calls(),
             again == S_OK ? "uninitialised" : "initialised");
    child_report_file::write(lines, child_report_file::REPORT_APPEND);
    platform_exit_process()(code);
}

// Patches the three imports of the child's own module; false if one is missing.
inline bool watch() {
    HMODULE self = GetModuleHandleA(NULL);
    platform_tls_free() = (TlsFreeFunction)vornelle_test::patch_import(
        self, "kernel32.dll", "TlsFree", (void*)watched_tls_free);
    platform_co_uninitialize() = (CoUninitializeFunction)vornelle_test::patch_import(
        self, "ole32.dll", "CoUninitialize", (void*)watched_co_uninitialize);
    platform_exit_process() = (ExitProcessFunction)vornelle_test::patch_import(
        self, "kernel32.dll", "ExitProcess", (void*)watched_exit_process);
    return platform_tls_free() && platform_co_uninitialize() && platform_exit_process();
}

}  // namespace shutdown_watch
