// How run_process brings the process up: COM, start-up values, thread states,
// registry and working variables, random source and FPU control word, in that
// order; shutdown releases the thread states, then COM.
//
// The application's globals need no zeroing here: they have static storage,
// start zeroed when the process is loaded, and run_process runs once per process.
#include "process/startup.h"

#include <objbase.h>
#include <string.h>

#include "passphrase/random_source.h"
#include "runtime/fpu.h"
#include "runtime/guarded_call.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

namespace vornelle {

const UINT PROCESS_EXIT_NO_THREAD_STATE = 255;

void run_process(MainFunction main) {
    // Its answer is not looked at: nothing the program calls needs COM, and
    // shutdown calls CoUninitialize whatever it was.
    CoInitialize(NULL);

    STARTUPINFOA info;
    memset(&info, 0, sizeof info);
    info.cb = sizeof info;  // 68 on the 32-bit target
    GetStartupInfoA(&info);
    startupRecord.showCommand = show_command_of(info);
    startupRecord.commandTail = command_tail(GetCommandLineA());
    startupRecord.instance = GetModuleHandleA(NULL);

    if (!open_thread_states()) {
        CoUninitialize();
        ExitProcess(PROCESS_EXIT_NO_THREAD_STATE);
    }

    // Each layer puts its own process-wide state back: empty and unlocked,
    // unlocked, unseeded.
    reset_registry();
    reset_guarded_call();
    reset_random_source();
    // Whatever control word ran before (the platform's, or a C library's
    // 0x037F), the process computes in 0x133F from here on.
    fpu_set_control_word(FPU_PROCESS_CONTROL_WORD);

    int32_t result =
        main(startupRecord.instance, 0, startupRecord.commandTail, startupRecord.showCommand);

    // No global of the application owns a resource, so there is nothing to
    // release before the thread states.
    close_thread_states();
    CoUninitialize();
    ExitProcess((UINT)result);
}

}  // namespace vornelle
