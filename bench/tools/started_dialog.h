// The program a bench tool works: started, with its main dialog's text box and
// generate button found. On failure the tool's "error ..." line is printed and
// the program ended, so the tool only returns the code it is given.
#pragma once
#include <windows.h>

#include <cstdio>

#include "app/main_dialog.h"
#include "tests/support/outside_program.h"

namespace bench {

struct StartedDialog {
    PROCESS_INFORMATION process;
    HWND dialog;
    HWND box;
    HWND button;
};

// 0 when exe runs and shows its dialog within 30 s; 2 when it cannot start;
// 3 when its dialog or controls do not appear.
inline int start_dialog(const char* exe, StartedDialog* started) {
    *started = StartedDialog();
    if (!vornelle_test::start_program(exe, &started->process)) {
        std::printf("error cannot-start %lu\n", GetLastError());
        return 2;
    }
    started->dialog = vornelle_test::wait_for_window(started->process, 30000);
    if (started->dialog) {
        started->box = GetDlgItem(started->dialog, vornelle::ID_PASSPHRASE_BOX);
        started->button = GetDlgItem(started->dialog, vornelle::ID_GENERATE_BUTTON);
    }
    if (!started->box || !started->button) {
        std::printf("error no-dialog-or-controls\n");
        TerminateProcess(started->process.hProcess, 1);
        return 3;
    }
    return 0;
}

}  // namespace bench
