// Test program: the real program (main dialog on the real process entry) with
// its calls of GetProcAddress, CoInitialize, TlsAlloc, GetLocalTime and
// ExitProcess watched through its import table, patched before the entry runs.
// All of the program's code is linked into this module and calls the platform
// through its import table, so every function it looks up by name passes the
// patched GetProcAddress. Before the entry runs, the registry lock is set and
// the guarded-call lock is held by a thread that never gives it back, as if
// left over; start-up must free both after COM is up. The report file named by
// VORNELLE_CHILD_REPORT gets, at the main function's first guarded call:
//   startup=SetDefaultDllDirectories(800) CoInitialize(registry held, guarded held) ...
//   dialog_handle_at_main=0
// and at ExitProcess:
//   lookups=SetDefaultDllDirectories BCryptGenRandom
//   exit=0
#include <objbase.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "app/main_dialog.h"
#include "runtime/guarded_call.h"
#include "tests/process/child_report_file.h"
#include "tests/support/import_patch.h"
#include "toolkit/window_registry.h"

using namespace vornelle;

namespace {

char startupSeen[512];
char lookupsSeen[512];
bool mainReached;

void note(char* text, size_t size, const char* what) {
    if (*text) strncat(text, " ", size - strlen(text) - 1);
    strncat(text, what, size - strlen(text) - 1);
}

typedef FARPROC(WINAPI* GetProcAddressFunction)(HMODULE, LPCSTR);
typedef HRESULT(WINAPI* CoInitializeFunction)(LPVOID);
typedef DWORD(WINAPI* TlsAllocFunction)();
typedef void(WINAPI* GetLocalTimeFunction)(SYSTEMTIME*);
typedef void(WINAPI* ExitProcessFunction)(UINT);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);

GetProcAddressFunction platformGetProcAddress;
CoInitializeFunction platformCoInitialize;
TlsAllocFunction platformTlsAlloc;
GetLocalTimeFunction platformGetLocalTime;
ExitProcessFunction platformExitProcess;
SetDefaultDllDirectoriesFunction platformSetDefaultDllDirectories;

uintptr_t do_nothing(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 0; }

DWORD WINAPI try_guarded_call(LPVOID) {
    guarded_call(do_nothing);
    return 0;
}

// Whether a guarded call from another thread gets through within half a
// second; one that does not goes on waiting until the lock is freed.
bool guarded_lock_free() {
    HANDLE thread = CreateThread(NULL, 0, try_guarded_call, NULL, 0, NULL);
    bool through = WaitForSingleObject(thread, 500) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return through;
}

void note_locks(const char* call) {
    char what[128];
    snprintf(what, sizeof what, "%s(registry %s, guarded %s)", call,
             windowRegistry.registryLock ? "held" : "free", guarded_lock_free() ? "free" : "held");
    note(startupSeen, sizeof startupSeen, what);
}

BOOL WINAPI watched_set_default_dll_directories(DWORD flags) {
    char what[64];
    snprintf(what, sizeof what, "SetDefaultDllDirectories(%lX)", (unsigned long)flags);
    note(startupSeen, sizeof startupSeen, what);
    return platformSetDefaultDllDirectories(flags);
}

FARPROC WINAPI watched_get_proc_address(HMODULE module, LPCSTR name) {
    char what[64];
    if (HIWORD((uintptr_t)name) == 0) {
        snprintf(what, sizeof what, "#%u", (unsigned)(uintptr_t)name);
    } else {
        snprintf(what, sizeof what, "%s", name);
    }
    note(lookupsSeen, sizeof lookupsSeen, what);
    FARPROC found = platformGetProcAddress(module, name);
    if (found && strcmp(what, "SetDefaultDllDirectories") == 0) {
        platformSetDefaultDllDirectories = (SetDefaultDllDirectoriesFunction)(void*)found;
        return (FARPROC)(void*)watched_set_default_dll_directories;
    }
    return found;
}

HRESULT WINAPI watched_co_initialize(LPVOID reserved) {
    note_locks("CoInitialize");
    return platformCoInitialize(reserved);
}

DWORD WINAPI watched_tls_alloc() {
    note_locks("TlsAlloc");
    return platformTlsAlloc();
}

// The main function's first platform call: the time of day it seeds from,
// made through guarded_call (so the guarded-call lock was free to take).
void WINAPI watched_get_local_time(SYSTEMTIME* time) {
    if (!mainReached) {
        mainReached = true;
        note(startupSeen, sizeof startupSeen,
             windowRegistry.registryLock ? "main(registry held)" : "main(registry free)");
        char lines[800];
        snprintf(lines, sizeof lines, "startup=%s\ndialog_handle_at_main=%lX\n", startupSeen,
                 (unsigned long)(uintptr_t)mainDialog);
        child_report_file::write(lines, child_report_file::REPORT_REPLACE);
    }
    platformGetLocalTime(time);
}

void WINAPI watched_exit_process(UINT code) {
    char lines[800];
    snprintf(lines, sizeof lines, "lookups=%s\nexit=%u\n", lookupsSeen, code);
    child_report_file::write(lines, child_report_file::REPORT_APPEND);
    platformExitProcess(code);
}

// A guarded call that never returns, so that its lock stays held.
HANDLE lockTaken;
uintptr_t hold_forever(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    SetEvent(lockTaken);
    for (;;) Sleep(INFINITE);
}

DWORD WINAPI hold_guarded_lock(LPVOID) {
    guarded_call(hold_forever);
    return 0;
}

template <typename Function>
void watch_import(const char* library, const char* name, Function* platform, void* watcher) {
    *platform =
        (Function)vornelle_test::patch_import(GetModuleHandleA(NULL), library, name, watcher);
}

bool watch() {
    watch_import("kernel32.dll", "GetProcAddress", &platformGetProcAddress,
                 (void*)watched_get_proc_address);
    watch_import("ole32.dll", "CoInitialize", &platformCoInitialize, (void*)watched_co_initialize);
    watch_import("kernel32.dll", "TlsAlloc", &platformTlsAlloc, (void*)watched_tls_alloc);
    watch_import("kernel32.dll", "GetLocalTime", &platformGetLocalTime,
                 (void*)watched_get_local_time);
    watch_import("kernel32.dll", "ExitProcess", &platformExitProcess, (void*)watched_exit_process);

    windowRegistry.registryLock = -1;
    lockTaken = CreateEventA(NULL, TRUE, FALSE, NULL);
    CloseHandle(CreateThread(NULL, 0, hold_guarded_lock, NULL, 0, NULL));
    WaitForSingleObject(lockTaken, INFINITE);
    return platformGetProcAddress && platformCoInitialize && platformTlsAlloc &&
           platformGetLocalTime && platformExitProcess;
}

// Done by the C library's start-up code, before the process entry runs.
const bool watching = watch();

}  // namespace
