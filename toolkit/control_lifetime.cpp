// The toolkit's control procedure: it stands in front of a control's class
// procedure, passes every message on unchanged, and removes the control's
// record once the platform has sent the control its last message.
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

LRESULT CALLBACK control_proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(class_procedure(control), control, message, wParam, lParam);
    // The window is gone: so is its record, and nothing else can inherit it.
    if (message == WM_NCDESTROY) destroy_record(control);
    return result;
}

}  // namespace vornelle
