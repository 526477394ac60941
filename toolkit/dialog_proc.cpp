// How dialog_proc dispatches: activation is answered at once; any other event
// goes to the control's or menu item's callback, then the dialog's, and a
// handled result goes to the message-result slot unless the callback set one.
#include "toolkit/dialog_proc.h"

#include <stddef.h>

#include "toolkit/canvas.h"
#include "toolkit/control_colors.h"
#include "toolkit/control_text.h"
#include "toolkit/modal.h"
#include "toolkit/window_registry.h"

namespace vornelle {

// The menu item information as the first 32-bit platforms knew it (no hbmpItem):
// 44 bytes there, and accepted by every later version.
static const UINT MENU_ITEM_INFO_BASE_SIZE = offsetof(MENUITEMINFOA, hbmpItem);
#if !defined(_WIN64)
static_assert(offsetof(MENUITEMINFOA, hbmpItem) == 44, "32-bit MENUITEMINFOA layout");
#endif

// WM_SYSCOMMAND: the platform keeps the four low bits of the command for itself.
static const WORD SYSTEM_COMMAND_MASK = 0xFFF0;

// The callback that a control, a scroll bar or a menu item keeps for this event.
static ControlCallback event_target(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        return (ControlCallback)record_value((HWND)lParam, FIELD_CALLBACK);
    }
    if (message != WM_COMMAND) return 0;

    WORD id = LOWORD(wParam);
    HWND control = control_handle(dialog, id);
    if (control) return (ControlCallback)record_value(control, FIELD_CALLBACK);

    HMENU menu = GetMenu(dialog);
    if (!menu) return 0;
    MENUITEMINFOA item;
    ZeroMemory(&item, sizeof item);
    item.cbSize = MENU_ITEM_INFO_BASE_SIZE;
    item.fMask = MIIM_DATA;
    if (!GetMenuItemInfoA(menu, id, FALSE, &item)) return 0;
    return (ControlCallback)item.dwItemData;
}

// A handled message: its value goes to the sender through the message-result
// slot, unless the callback put a value there itself.
static INT_PTR handled(HWND dialog, LONG_PTR value) {
    if (GetWindowLongPtrA(dialog, DWLP_MSGRESULT) == 0) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, value);
    }
    return value;
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // Activation is answered here and goes no further: focus stays where the
    // program put it (focus_control) instead of where the dialog manager last
    // saw it, and no callback has to tell activation from its own events.
    if (message == WM_ACTIVATE) {
        WORD state = LOWORD(wParam);
        if (state == WA_INACTIVE || state == WA_ACTIVE || state == WA_CLICKACTIVE) return 1;
    }

    if (message == WM_COMMAND) follow_combo_drop(HIWORD(wParam), (HWND)lParam);
    ControlCallback target = event_target(dialog, message, wParam, lParam);
    if (target) {
        LONG_PTR value = target(dialog, message, wParam, lParam);
        if (value) return handled(dialog, value);
    }

    WindowRecord* record = find_record(dialog);
    if (record) {
        // From here on the controls' records wait for the dialog's last message.
        if (message == WM_DESTROY) record->beingDestroyed = true;
        DialogCallback dialogCallback = record->callback;
        // The callback may remove records: the record is not used after the call.
        LONG_PTR r = dialogCallback ? dialogCallback(dialog, message, wParam, lParam) : 0;
        if (message == WM_NCDESTROY) destroy_record(dialog);
        if (message == WM_DRAWITEM) return paint_canvas(dialog, (const DRAWITEMSTRUCT*)lParam);
        if (r) return handled(dialog, r);
        if (system_color_row(message)) return control_color(message, (HDC)wParam, (HWND)lParam);
    }

    if (message == WM_SYSCOMMAND && (LOWORD(wParam) & SYSTEM_COMMAND_MASK) == SC_CLOSE) {
        end_dialog(dialog, 0);
        return 1;
    }
    return 0;
}

}  // namespace vornelle
