// The real program started from outside with its main dialog found: the
// process, the dialog, its text box and its generate button. The one starter
// of the end-to-end tests, the soak driver and the bench tools.
#pragma once
#include <windows.h>

#include <string>

#include "app/main_dialog.h"
#include "tests/support/outside_program.h"

namespace vornelle_test {

struct MainDialogProgram {
    DialogProgram program;
    HWND box;
    HWND button;
};

// Starts the program at path (a Windows path; arguments as for start_program)
// and finds its text box and button; "" on success, otherwise what went
// wrong, with whatever started already ended.
inline std::string start_main_dialog(const std::string& path, MainDialogProgram* started,
                                     const std::string& arguments = "") {
    *started = MainDialogProgram();
    std::string failure = start_dialog_program(path, &started->program, arguments);
    if (failure.empty()) {
        started->box = GetDlgItem(started->program.dialog, vornelle::ID_PASSPHRASE_BOX);
        started->button = GetDlgItem(started->program.dialog, vornelle::ID_GENERATE_BUTTON);
        if (!started->box || !started->button) failure = "no text box or button in " + path;
    }
    if (!failure.empty()) stop_dialog_program(&started->program);
    return failure;
}

}  // namespace vornelle_test
