// Modal display: the toolkit's own polling message loop, which runs until the
// dialog window is gone, and end_dialog, which re-enables the owner, stores the
// end code and destroys the dialog.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "toolkit/window_registry.h"

namespace vornelle {

// Shows the dialog and runs the loop until the dialog window is gone; the
// callback (if any) first gets WM_INITDIALOG and WM_SIZE, and their results are
// ignored. For a window without a record the callback still gets those two
// calls; then nothing is shown and it returns at once.
void show_dialog_modal(HWND dialog, DialogCallback callback, int32_t* result);
// Sends WM_CLOSE, enables the owner read before that message (whatever the
// dialog's callback did with it), stores the end code and destroys the dialog.
void end_dialog(HWND dialog, int32_t endCode);

}  // namespace vornelle
