// Control creation: child controls of a toolkit dialog from a table of kinds,
// each with the kind's class and style rules, the dialog's font and a record
// that carries the control's callback.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "toolkit/control_kind.h"
#include "toolkit/window_registry.h"

namespace vornelle {

struct ControlClass {
    const char* className;
    uint32_t defaultStyle;  // used when the caller passes 0
    uint32_t forcedStyle;   // always added
    uint32_t clearedStyle;  // always removed
};

// Rows 1 to 16; row 0 (CustomClass) is unused.
extern const ControlClass ControlClassTable[CONTROL_KIND_COUNT];

struct ControlStyle {
    const char* className;
    uint32_t style;
    uint32_t extendedStyle;
};

// Class and final styles for a kind 1 to 16 (or CustomClass), given the
// caller's style and extended style and the control's pixel size; a kind
// outside 0 to 16 gets a null class.
ControlStyle control_style(int32_t kind, const char* className, uint32_t style,
                           uint32_t extendedStyle, int32_t pixelWidth, int32_t pixelHeight);

// The new control's window handle, or null (nothing made: a dialog without a
// record, a kind outside 0 to 16, or a window the platform refused). The
// control's record goes when its window is destroyed, with its dialog or
// before it (control_lifetime.h). items:
// initial entries of a list or combo box, ending at the first null or empty
// string (null: none).
HWND add_control(int32_t kind, const char* className, HWND dialog, int32_t id, const char* text,
                 const char* const* items, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style, uint32_t extendedStyle, ControlCallback callback);

// One row of a table of controls: add_control's arguments but the dialog.
struct ControlRow {
    int32_t id;
    int32_t kind;
    const char* className;  // CustomClass only (null: empty)
    const char* text;       // caption, contents, or the image's resource name
    const char* const* items;
    int32_t x, y, width, height;
    uint32_t style;  // 0: the kind's default
    uint32_t extendedStyle;
    ControlCallback callback;
};

// Adds the count rows to dialog in order with add_control, each whatever
// became of the ones before it.
void add_controls(HWND dialog, const ControlRow* rows, int32_t count);

}  // namespace vornelle
