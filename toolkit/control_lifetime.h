// A toolkit control's record lives as long as its window: add_control puts the
// toolkit's control procedure in front of the control's own, and when the
// platform destroys the control on its own, that procedure removes the control's
// record (and those of controls made inside it). While the control's dialog is
// being destroyed the records are left for the dialog's last message.
#pragma once
#include <windows.h>

namespace vornelle {

// Puts control_proc in front of the control's procedure. False, and nothing
// changed, when that procedure is no longer its class's own (the record then
// goes with the dialog's).
bool watch_control(HWND control);

// Passes every message to the control's class procedure; after WM_NCDESTROY
// it destroys the control's record, unless a dialog the control lies in is
// being destroyed.
LRESULT CALLBACK control_proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vornelle
