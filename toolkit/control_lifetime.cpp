// The toolkit's control procedure: it stands in front of a control's class
// procedure, passes every message on unchanged, and removes the control's
// record once the platform has sent the control its last message, unless the
// whole dialog is going, whose last message then removes them all in order.
#include "toolkit/control_lifetime.h"

#include "toolkit/window_registry.h"

namespace vornelle {

// The procedure the control's class gives its windows; watch_control puts
// control_proc in front of a control only when that is the control's own, so
// nothing needs keeping per control.
static WNDPROC class_procedure(HWND control) {
    return (WNDPROC)GetClassLongPtrA(control, GCLP_WNDPROC);
}

bool watch_control(HWND control) {
    LONG_PTR own = (LONG_PTR)class_procedure(control);
    LONG_PTR previous = SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)control_proc);
    if (previous == own) return true;
    SetWindowLongPtrA(control, GWLP_WNDPROC, previous);  // not the class's: left alone
    return false;
}

// The window's parent (a child's) or owner (a top-level window's).
static HWND holder_of(HWND window) { return (HWND)GetWindowLongPtrA(window, GWLP_HWNDPARENT); }

// True when a window that holds the control, up the platform's own chain of
// parents and owners, is a dialog that has had WM_DESTROY. The walk visits at
// most CONTROL_HOLDER_STEPS_MAX holders, whatever the platform answers.
static bool inside_dialog_being_destroyed(HWND control) {
    HWND w = control;
    for (int32_t step = 0; step < CONTROL_HOLDER_STEPS_MAX; ++step) {
        w = holder_of(w);
        if (!w) return false;
        const WindowRecord* holder = find_record(w);
        if (holder && (holder->flags & RECORD_DIALOG) && holder->beingDestroyed) return true;
    }
    return false;
}

LRESULT CALLBACK control_proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(class_procedure(control), control, message, wParam, lParam);
    // The window is gone: so is its record, and nothing else can inherit it.
    // Inside a dialog being destroyed the dialog's last message removes every
    // record of it, newest first, after its DialogCallback has seen them all.
    if (message == WM_NCDESTROY && !inside_dialog_being_destroyed(control)) {
        destroy_record(control);
    }
    return result;
}

}  // namespace vornelle
