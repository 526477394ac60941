// Test child: takes every thread-local storage index the platform will give
// (or, given the word no-memory, makes the thread state's allocation fail),
// then enters the real run_process. Its main function must never run: if it
// does, it writes "main_ran" to the file named by VORNELLE_CHILD_REPORT. The
// process's end is watched and added to that file (shutdown_watch.h).
#include <string.h>
#include <windows.h>

#include "process/startup.h"
#include "tests/process/child_report_file.h"
#include "tests/process/shutdown_watch.h"
#include "toolkit/thread_state.h"

using namespace vornelle;

int32_t vornelle::application_main(HINSTANCE, HINSTANCE, const char*, int32_t) {
    child_report_file::write("main_ran\n", child_report_file::REPORT_REPLACE);
    return 0;
}

static void* no_memory(SIZE_T) {
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    shutdown_watch::watch();
    shutdown_watch::note_from_here();
    if (strstr(GetCommandLineA(), " no-memory")) {
        stateAllocator = no_memory;
    } else {
        while (TlsAlloc() != TLS_OUT_OF_INDEXES) {
        }
    }
    run_process(application_main);
}
