// add_control: one child control of a toolkit dialog, its class and style from
// the ControlClassTable row of its kind, placed in the dialog's coordinate mode,
// given the dialog's font and registered with its callback. Nothing is made for
// a window without a record or a kind outside 0 to 16.
#include "toolkit/controls.h"

#include "runtime/startup_record.h"
#include "toolkit/control_lifetime.h"
#include "toolkit/image_controls.h"

namespace vornelle {

namespace {

bool is_image_kind(int32_t kind) { return kind >= Image && kind <= FittedImageButton; }

// The far edge of a span, start + size, wrapping around in 32 bits rather
// than overflowing into undefined behaviour.
LONG far_edge(int32_t start, int32_t size) {
    return (LONG)(int32_t)((uint32_t)start + (uint32_t)size);
}

}  // namespace

ControlStyle control_style(int32_t kind, const char* className, uint32_t style,
                           uint32_t extendedStyle, int32_t pixelWidth, int32_t pixelHeight) {
    ControlStyle result = {className, style, extendedStyle};
    if (kind == CustomClass) return result;
    if (kind < 0 || kind >= CONTROL_KIND_COUNT) {
        result.className = 0;
        return result;
    }
    const ControlClass& row = ControlClassTable[kind];
    if (style == 0) {
        style = row.defaultStyle;
        if (kind == ScrollBar && pixelWidth < pixelHeight) style |= SBS_VERT;
        if ((kind == TextBox || kind == ComboBox || kind == ListBox) && (style & WS_BORDER)) {
            style &= ~(uint32_t)WS_BORDER;
            result.extendedStyle |= WS_EX_CLIENTEDGE;
        }
    }
    result.style = (style | row.forcedStyle) & ~row.clearedStyle;
    result.className = row.className;
    return result;
}

HWND add_control(int32_t kind, const char* className, HWND dialog, int32_t id, const char* text,
                 const char* const* items, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style, uint32_t extendedStyle, ControlCallback callback) {
    if (kind < 0 || kind >= CONTROL_KIND_COUNT || !dialog) return 0;
    WindowRecord* dialogRecord = 0;
    HFONT font = (HFONT)record_value(dialog, FIELD_FONT, &dialogRecord);
    if (!dialogRecord) return 0;
    uint32_t flags = (dialogRecord->flags & RECORD_MODE_MASK) | RECORD_CONTROL;

    int32_t left = x;
    int32_t top = y;
    int32_t pixelWidth = width;
    int32_t pixelHeight = height;
    if (flags & RECORD_UNITS) {
        // The corners are mapped, so the size is their difference in pixels.
        RECT rect = {x, y, far_edge(x, width), far_edge(y, height)};
        MapDialogRect(dialog, &rect);
        left = rect.left;
        top = rect.top;
        pixelWidth = rect.right - rect.left;
        pixelHeight = rect.bottom - rect.top;
    }

    ControlStyle chosen = control_style(kind, className ? className : "", style, extendedStyle,
                                        pixelWidth, pixelHeight);
    const char* windowText = text ? text : "";
    if (is_image_kind(kind)) {
        decide_image_type(kind, text, &flags, &chosen.style);
        windowText = 0;  // the text names the image resource
    }

    HWND control = CreateWindowExA(chosen.extendedStyle, chosen.className, windowText, chosen.style,
                                   left, top, pixelWidth, pixelHeight, dialog, (HMENU)(INT_PTR)id,
                                   startupRecord.instance, 0);
    if (!control) return 0;
    SendMessageA(control, WM_SETFONT, (WPARAM)font, 1);

    // Without a record the control still exists; its events then reach no
    // callback. With one, the record goes when the control's window goes.
    WindowRecord* record = create_record(control, dialog, flags, kind);
    if (record) {
        record->callback = callback;
        watch_control(control);
    }

    if (items) {
        UINT add = kind == ComboBox ? CB_ADDSTRING : LB_ADDSTRING;
        for (const char* const* item = items; *item && **item; ++item) {
            SendMessageA(control, add, 0, (LPARAM)*item);
        }
    }
    if (kind == PushButton && (chosen.style & BS_DEFPUSHBUTTON)) {
        SendMessageA(dialog, DM_SETDEFID, (WPARAM)id, 0);
    }
    if (record && kind >= Image && kind <= Canvas) {
        finish_image_control(record, id, text, chosen.style, pixelWidth, pixelHeight, width,
                             height);
    }
    return control;
}

void add_controls(HWND dialog, const ControlRow* rows, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const ControlRow& r = rows[i];
        add_control(r.kind, r.className, dialog, r.id, r.text, r.items, r.x, r.y, r.width, r.height,
                    r.style, r.extendedStyle, r.callback);
    }
}

}  // namespace vornelle
