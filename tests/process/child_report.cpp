// Test child: a program on the real process entry whose main function writes
// what it finds at its start (arguments, start-up record, FPU control word,
// random source, thread state, registry, COM) as key=value lines to the file
// named by VORNELLE_CHILD_REPORT, then returns VORNELLE_CHILD_EXIT (default 0). The process's end is watched
// and added to the report (shutdown_watch.h). With VORNELLE_CHILD_REFUSE_COM
// set, start-up's CoInitialize is refused.
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "passphrase/random_source.h"
#include "runtime/fpu.h"
#include "process/startup.h"
#include "tests/process/child_report_file.h"
#include "tests/process/shutdown_watch.h"
#include "tests/support/import_patch.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

using namespace vornelle;

// Patched before the process entry runs: the C library's start-up code runs
// this initialiser first.
static const bool shutdownWatched = shutdown_watch::watch();

// With VORNELLE_CHILD_REFUSE_COM set, the first CoInitialize of the child (the
// start-up's) is refused with E_OUTOFMEMORY and COM stays uninitialised; every
// later call reaches COM.
static HRESULT(WINAPI* platformCoInitialize)(LPVOID);
static bool comRefused;
static HRESULT WINAPI refusing_co_initialize(LPVOID reserved) {
    if (comRefused) return platformCoInitialize(reserved);
    comRefused = true;
    return E_OUTOFMEMORY;
}
static bool refuse_com() {
    if (!GetEnvironmentVariableA("VORNELLE_CHILD_REFUSE_COM", NULL, 0)) return false;
    platformCoInitialize = (HRESULT(WINAPI*)(LPVOID))vornelle_test::patch_import(
        GetModuleHandleA(NULL), "ole32.dll", "CoInitialize", (void*)refusing_co_initialize);
    return platformCoInitialize != NULL;
}
static const bool comWatched = refuse_com();

static void add_line(char* report, size_t size, const char* key, const char* format, unsigned value) {
    size_t used = strlen(report);
    int n = snprintf(report + used, size - used, "%s=", key);
    used += n;
    snprintf(report + used, size - used, format, value);
    strncat(report, "\n", size - strlen(report) - 1);
}

int32_t vornelle::application_main(HINSTANCE instance, HINSTANCE previous, const char* commandTail,
                                   int32_t showCommand) {
    // Read first, before anything here can touch the unit.
    unsigned controlWord = fpu_control_word();
    unsigned randomState = randomSource.state;
    unsigned randomLast = randomSource.last;

    static char report[8192];
    report[0] = 0;
    add_line(report, sizeof report, "fpu", "%04X", controlWord);
    add_line(report, sizeof report, "random_state", "%08X", randomState);
    add_line(report, sizeof report, "random_last", "%08X", randomLast);
    add_line(report, sizeof report, "show", "%u", (unsigned)showCommand);
    add_line(report, sizeof report, "previous", "%u", (unsigned)(uintptr_t)previous);
    add_line(report, sizeof report, "instance_is_module", "%u",
             instance != NULL && instance == GetModuleHandleA(NULL));
    add_line(report, sizeof report, "record_matches", "%u",
             startupRecord.instance == instance && startupRecord.commandTail == commandTail &&
                 startupRecord.showCommand == showCommand);
    add_line(report, sizeof report, "tail_points_into_command_line", "%u",
             commandTail == command_tail(GetCommandLineA()));
    ToolkitThreadState* state = thread_state();
    add_line(report, sizeof report, "thread_state_font", "%u",
             state == firstThreadState && state != NULL &&
                 strcmp(state->inherited.defaultFontFace, "MS Sans Serif") == 0 && state->inherited.defaultFontSize == 8);
    add_line(report, sizeof report, "registry_empty", "%u",
             windowRegistry.registryHead == NULL && windowRegistry.registryLock == 0);
    // COM is already initialised on this thread: a second CoInitialize says so.
    HRESULT again = CoInitialize(NULL);
    add_line(report, sizeof report, "com_already_initialised", "%u", again == S_FALSE);
    if (SUCCEEDED(again)) CoUninitialize();
    add_line(report, sizeof report, "shutdown_watched", "%u", shutdownWatched);
    add_line(report, sizeof report, "com_refused", "%u", comWatched && comRefused);
    strncat(report, "tail=", sizeof report - strlen(report) - 1);
    strncat(report, commandTail, sizeof report - strlen(report) - 1);
    strncat(report, "\n", sizeof report - strlen(report) - 1);

    child_report_file::write(report, child_report_file::REPORT_REPLACE);
    // What comes after the main function is noted from here.
    shutdown_watch::note_from_here();
    char exitCode[32];
    if (GetEnvironmentVariableA("VORNELLE_CHILD_EXIT", exitCode, sizeof exitCode)) {
        return atoi(exitCode);
    }
    return 0;
}
