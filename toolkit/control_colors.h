// Control colouring: the system colours of each control-colour message and the
// answer to WM_CTLCOLOR* from the colours kept in a control's (or a combo box
// owner's) record. Creates no GDI object: every brush returned is owned elsewhere.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

struct SystemColorRow {
    UINT message;
    int32_t textIndex;  // GetSysColor index of the text
    int32_t backIndex;  // GetSysColor / GetSysColorBrush index of the background
};

// The combo box whose list is dropped down, or null: follow_combo_drop keeps
// it, and a dropped list, which has no owner window, takes its colours.
extern HWND droppedCombo;

// Follows one WM_COMMAND's notification code, whatever kind of control sent
// it: CBN_DROPDOWN makes the sender the dropped combo box, CBN_CLOSEUP clears
// it, and any other code changes nothing.
void follow_combo_drop(WORD notification, HWND sender);

const int32_t SYSTEM_COLOR_ROW_COUNT = 7;
// One row per message from WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC, in order.
extern const SystemColorRow SystemColorTable[SYSTEM_COLOR_ROW_COUNT];

// The row of a control-colour message, or null for any other message.
const SystemColorRow* system_color_row(UINT message);

// The answer to a control-colour message for the window being coloured, with the
// device context set up as the window's record says; 0 leaves the colouring to
// the platform.
INT_PTR control_color(UINT message, HDC dc, HWND window);

}  // namespace vornelle
