// Control text and focus by control identifier: the platform finds the child
// (GetDlgItem), so any child carrying the identifier is served, with or without
// a record. The text is set with the caller's floating-point state kept aside.
#include "toolkit/control_text.h"

#include "runtime/fpu.h"

namespace vornelle {

HWND control_handle(HWND dialog, int32_t id) { return GetDlgItem(dialog, id); }

bool set_control_text(HWND dialog, int32_t id, const char* text) {
    HWND control = control_handle(dialog, id);
    FpuState state;
    fpu_save(&state);
    BOOL taken = SetWindowTextA(control, text ? text : "");
    fpu_restore(&state);
    return taken != FALSE;
}

void focus_control(HWND dialog, int32_t id) { SetFocus(control_handle(dialog, id)); }

}  // namespace vornelle
