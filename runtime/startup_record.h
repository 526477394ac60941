// The StartupRecord: the module instance, command-line tail and show command,
// fixed once by process start-up before the main function runs and read by any
// code that needs them (the toolkit reads the instance for its windows).
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

struct StartupRecord {
    HINSTANCE instance;
    const char* commandTail;  // points into the platform's command line
    int32_t showCommand;
};

extern StartupRecord startupRecord;

// wShowWindow when STARTF_USESHOWWINDOW is set, else SW_SHOWDEFAULT (10).
int32_t show_command_of(const STARTUPINFOA& info);

}  // namespace vornelle
