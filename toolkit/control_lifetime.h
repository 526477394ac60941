// A toolkit control's record lives as long as its window: add_control puts the
// toolkit's control procedure in front of the control's own, and when the
// platform destroys the control on its own, that procedure removes the control's
// record (and those of controls made inside it). While the control's dialog is
// being destroyed the records are left for the dialog's last message.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

// The most holders (parents, then owners) that the walk up from a control
// visits when it looks for a dialog being destroyed. The platform nests child
// windows at most 50 deep (100 in its oldest versions), and dialogs are owned
// a few deep at most, so every chain the platform builds ends well within it;
// a longer walk can only be a ring in its answers, and the control's record
// then goes with its window, as outside any dialog.
const int32_t CONTROL_HOLDER_STEPS_MAX = 100;

// Puts control_proc in front of the control's procedure. False, and nothing
// changed, when that procedure is no longer its class's own (the record then
// goes with the dialog's).
bool watch_control(HWND control);

// Passes every message to the control's class procedure; after WM_NCDESTROY
// it destroys the control's record, unless a dialog the control lies in is
// being destroyed.
LRESULT CALLBACK control_proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vornelle
