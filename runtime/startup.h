// Process start-up and shutdown: the StartupRecord fixed before the main
// function runs, the command-line tail, and run_process, which brings the
// process up, calls the application's main function once and ends the process
// with its result (255 when the toolkit's thread state cannot be opened).
#pragma once
#include <stdint.h>
#include <windows.h>

#include "runtime/command_tail.h"

namespace vornelle {

struct StartupRecord {
    HINSTANCE instance;
    const char* commandTail;  // points into the platform's command line
    int32_t showCommand;
};

extern StartupRecord startupRecord;

typedef int32_t (*MainFunction)(HINSTANCE instance, HINSTANCE previous, const char* commandTail,
                                int32_t showCommand);

// Provided by the application: the one main function of the program.
int32_t application_main(HINSTANCE instance, HINSTANCE previous, const char* commandTail,
                         int32_t showCommand);

// wShowWindow when STARTF_USESHOWWINDOW is set, else SW_SHOWDEFAULT (10).
int32_t show_command_of(const STARTUPINFOA& info);

// Start-up, main, shutdown; ends the process with ExitProcess.
#if defined(__GNUC__)
__attribute__((noreturn))
#else
__declspec(noreturn)
#endif
void run_process(MainFunction main);

}  // namespace vornelle
