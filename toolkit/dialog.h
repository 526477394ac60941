// Dialog creation: a hidden, modeless, empty dialog built by the platform's
// dialog manager from a template assembled in memory, with dialog_proc as its
// procedure and the thread's default font. In pixel mode the client area gets
// exactly the requested size and the toolkit centres the window itself.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "toolkit/dialog_template.h"
#include "toolkit/window_registry.h"

namespace vornelle {

// Mode bit: positions and sizes in pixels. The dialog's record keeps the mode
// under the same bit.
const uint32_t DIALOG_PIXELS = RECORD_PIXELS;
const int32_t DIALOG_KEEP_POSITION = 32768;  // pixel mode: the platform places it

// SW_MAXIMIZE, SW_MINIMIZE or SW_SHOW, from the caller's style argument.
int32_t dialog_show_command(uint32_t style);

// Pixel mode: where SetWindowPos puts the new dialog and with which flags.
const uint32_t DIALOG_PLACE_FLAGS = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS |
                                    SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
struct DialogPlacement {
    int32_t x;
    int32_t y;
    int32_t width;  // whole window, frame included
    int32_t height;
    uint32_t flags;  // DIALOG_PLACE_FLAGS, with SWP_NOMOVE to keep the position
};
// The window size that gives a client area of width x height, given the
// window's present client and window rectangles; centred on the work area
// (halves rounded down) when x or y is DIALOG_CENTRE, left in place when x or y
// is DIALOG_KEEP_POSITION (which wins).
DialogPlacement dialog_placement(int32_t x, int32_t y, int32_t width, int32_t height,
                                 const RECT& client, const RECT& window, const RECT& workArea);

// The dialog's window handle, or null: when the platform refuses the window,
// or when its record cannot be made (the window is then destroyed again).
// title is NUL-terminated (null: empty).
// A thread whose toolkit state cannot be made gets the start-up default font.
HWND new_dialog(uint32_t mode, HWND parent, const char* title, int32_t x, int32_t y, int32_t width,
                int32_t height, uint32_t style, uint32_t extendedStyle);

}  // namespace vornelle
