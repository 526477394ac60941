// Control colouring from WindowRecords: text colour, background colour or
// transparency applied to the control's device context, and the brush that
// paints its background. Combo boxes colour their edit field and list as well.
#include "toolkit/control_colors.h"

#include "toolkit/control_kind.h"
#include "toolkit/window_registry.h"

namespace vornelle {

HWND droppedCombo;

// clang-format off
const SystemColorRow SystemColorTable[SYSTEM_COLOR_ROW_COUNT] = {
    // message             textIndex         backIndex
    {WM_CTLCOLORMSGBOX,    COLOR_MENUTEXT,   COLOR_MENU},
    {WM_CTLCOLOREDIT,      COLOR_WINDOWTEXT, COLOR_WINDOW},
    {WM_CTLCOLORLISTBOX,   COLOR_WINDOWTEXT, COLOR_WINDOW},
    {WM_CTLCOLORBTN,       COLOR_BTNTEXT,    COLOR_BTNFACE},
    {WM_CTLCOLORDLG,       COLOR_WINDOWTEXT, COLOR_BTNFACE},
    {WM_CTLCOLORSCROLLBAR, COLOR_WINDOWTEXT, COLOR_SCROLLBAR},
    {WM_CTLCOLORSTATIC,    COLOR_WINDOWTEXT, COLOR_BTNFACE},
};
// clang-format on

// The edit field and the list of a combo box are coloured as a text box.
static const SystemColorRow comboPartColors = {0, COLOR_WINDOWTEXT, COLOR_WINDOW};

void follow_combo_drop(WORD notification, HWND sender) {
    if (notification == CBN_CLOSEUP) {
        droppedCombo = 0;
    } else if (notification == CBN_DROPDOWN) {
        droppedCombo = sender;
    }
}

const SystemColorRow* system_color_row(UINT message) {
    for (int32_t i = 0; i < SYSTEM_COLOR_ROW_COUNT; ++i) {
        if (SystemColorTable[i].message == message) return &SystemColorTable[i];
    }
    return 0;
}

// Applies the record's colours to the device context and returns the brush.
static INT_PTR apply_record_colors(const WindowRecord* record, const SystemColorRow* row, HDC dc) {
    if (record->textColor == COLOR_UNTOUCHED) return 0;
    SetTextColor(dc, record->textColor == COLOR_SYSTEM ? GetSysColor(row->textIndex)
                                                       : (COLORREF)record->textColor);
    if (record->backColor >= 0) {
        SetBkColor(dc, (COLORREF)record->backColor);
        return (INT_PTR)record->backBrush;
    }
    if (record->backColor == COLOR_SYSTEM) {
        HBRUSH brush = GetSysColorBrush(row->backIndex);
        SetBkColor(dc, GetSysColor(row->backIndex));
        return (INT_PTR)brush;
    }
    SetBkMode(dc, TRANSPARENT);
    return (INT_PTR)GetStockObject(NULL_BRUSH);
}

INT_PTR control_color(UINT message, HDC dc, HWND window) {
    const SystemColorRow* row = system_color_row(message);
    if (!row) return 0;
    WindowRecord* record = find_record(window);
    if (record) return apply_record_colors(record, row, dc);

    // A window without a record: the edit field or dropped list of a combo box.
    if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORLISTBOX) return 0;
    HWND owner = (HWND)GetWindowLongPtrA(window, GWLP_HWNDPARENT);
    if (!owner) owner = droppedCombo;
    WindowRecord* combo = find_record(owner);
    if (!combo || combo->kind != ComboBox) return 0;
    return apply_record_colors(combo, &comboPartColors, dc);
}

}  // namespace vornelle
