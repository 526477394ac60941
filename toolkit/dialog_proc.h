// The toolkit's one dialog procedure: routes the platform's messages to the
// callbacks of controls, menu items and dialogs, hands control colours and
// canvas painting to control_colors.h and canvas.h, ends the dialog on
// SC_CLOSE and removes a dialog's records at WM_NCDESTROY.
#pragma once
#include <windows.h>

namespace vornelle {

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vornelle
