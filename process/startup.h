// Process start-up and shutdown: run_process brings the process up, fills the
// StartupRecord, calls the application's main function once and ends the
// process with its result (255 when the toolkit's thread state cannot be opened).
#pragma once
#include <stdint.h>
#include <windows.h>

#include "runtime/command_tail.h"
#include "runtime/main_function.h"
#include "runtime/startup_record.h"

namespace vornelle {

// Start-up, main, shutdown; ends the process with ExitProcess.
__attribute__((noreturn)) void run_process(MainFunction main);

}  // namespace vornelle
