// The window registry: one WindowRecord per toolkit dialog and control, in a
// process-wide list linked newest first and found by window handle. A record
// owns the platform objects made for its window (brush, image, icons, canvas
// surface) and releases them when it is destroyed. The registry lock guards only
// the links and is never held across another registry operation or a callback.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "runtime/spin_lock.h"

namespace vornelle {

// A control's or dialog's callback: (dialog, message, wParam, lParam). 0 means
// not handled; anything else ends dispatch and is the message's result.
typedef LONG_PTR (*ControlCallback)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
typedef ControlCallback DialogCallback;

enum RecordFlag : uint32_t {
    RECORD_UNITS = 0x0001,
    RECORD_PIXELS = 0x0002,
    RECORD_MODE_MASK = 0x0007,
    RECORD_IMAGE_ICON = 0x0100,
    RECORD_IMAGE_BITMAP = 0x0200,
    RECORD_SHOWN = 0x0400,
    RECORD_CONTROL = 0x2000,
    RECORD_DIALOG = 0x4000,
};

// Colour field values besides a COLORREF.
const int32_t COLOR_SYSTEM = -1;
const int32_t COLOR_TRANSPARENT = -2;
const int32_t COLOR_UNTOUCHED = -3;

struct WindowRecord {
    WindowRecord* nextRecord;
    HWND window;
    HWND parent;
    uint32_t flags;
    int32_t showCommand;
    HFONT font;
    ControlCallback callback;
    int32_t* resultTarget;
    HACCEL accelerators;
    HBRUSH backBrush;
    int32_t backColor;
    int32_t textColor;
    HDC canvasDc;
    HGDIOBJ canvasOldBitmap;
    float canvasScaleX;
    float canvasScaleY;
    int32_t canvasWidth;
    int32_t canvasHeight;
    HGDIOBJ canvasOldFont;
    int32_t canvasCharWidth;
    int32_t canvasLineHeight;
    COLORREF canvasForeColor;
    COLORREF canvasBackColor;
    int32_t kind;
    uint32_t style;
    HANDLE image;
    HICON bigIcon;
    HICON smallIcon;
    int32_t userData[8];
    // Not a field that record_value reaches, nor a flag: the dialog has had
    // WM_DESTROY, and its controls' records stay until its last message,
    // where they all go together, newest first.
    bool beingDestroyed;
};

// The fields that record_value and set_record_value reach by name.
// clang-format off
enum RecordField {
    FIELD_NEXT_RECORD, FIELD_WINDOW, FIELD_PARENT, FIELD_FLAGS, FIELD_SHOW_COMMAND, FIELD_FONT,
    FIELD_CALLBACK, FIELD_RESULT_TARGET, FIELD_ACCELERATORS, FIELD_BACK_BRUSH, FIELD_BACK_COLOR,
    FIELD_TEXT_COLOR, FIELD_CANVAS_DC, FIELD_CANVAS_OLD_BITMAP, FIELD_CANVAS_SCALE_X,
    FIELD_CANVAS_SCALE_Y, FIELD_CANVAS_WIDTH, FIELD_CANVAS_HEIGHT, FIELD_CANVAS_OLD_FONT,
    FIELD_CANVAS_CHAR_WIDTH, FIELD_CANVAS_LINE_HEIGHT, FIELD_CANVAS_FORE_COLOR,
    FIELD_CANVAS_BACK_COLOR, FIELD_KIND, FIELD_STYLE, FIELD_IMAGE, FIELD_BIG_ICON,
    FIELD_SMALL_ICON, FIELD_USER_DATA_1, FIELD_USER_DATA_2, FIELD_USER_DATA_3, FIELD_USER_DATA_4,
    FIELD_USER_DATA_5, FIELD_USER_DATA_6, FIELD_USER_DATA_7, FIELD_USER_DATA_8,
    FIELD_COUNT
};
// clang-format on

struct WindowRegistry {
    WindowRecord* registryHead;  // newest record, or null
    SpinLock registryLock;
};

extern WindowRegistry windowRegistry;

// Empties the registry and frees its lock, whatever either held before;
// process start-up calls it once, before any record is made.
void reset_registry();
WindowRecord* find_record(HWND window);
// The field's 32-bit value and the record; 0 and a null record when the window
// has none.
LONG_PTR record_value(HWND window, RecordField field, WindowRecord** record = 0);
// Stores the value; the record, or null (nothing stored) when there is none.
// The link field (FIELD_NEXT_RECORD) is the list's and is never stored, nor is
// a parent that is the window itself.
WindowRecord* set_record_value(HWND window, RecordField field, LONG_PTR value);
// A new zero-filled record with colours untouched, linked at the head; null and
// *failureCode = 5 when the window already has one, is named as its own
// parent, or memory runs out.
WindowRecord* create_record(HWND window, HWND parent, uint32_t flags, int32_t kind,
                            uint8_t* failureCode = 0);
// Destroys the window's control records (and theirs) first, newest first,
// then its own, releasing what each owns: a brush goes once no remaining
// record holds it. The walk ends on any graph of parent fields and destroys
// each record once. False when the window has no record.
bool destroy_record(HWND window);
HWND first_control_of(HWND parent);
HBRUSH brush_for_color(int32_t color);

}  // namespace vornelle
