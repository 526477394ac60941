// Dialog creation: a hidden, modeless, empty dialog built by the platform's
// dialog manager from a template assembled in memory, with dialog_proc as its
// procedure and the thread's default font. In pixel mode the client area gets
// exactly the requested size and the toolkit centres the window itself.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

const uint32_t DIALOG_PIXELS = 0x2;        // mode bit: positions and sizes in pixels
const int32_t DIALOG_CENTRE = -1;          // x or y: centre on the work area
const int32_t DIALOG_KEEP_POSITION = 32768;  // pixel mode: the platform places it

const uint32_t DIALOG_DEFAULT_STYLE = 0x80C000D4;  // popup, caption, modal frame, font...
const uint32_t DIALOG_ADDED_STYLE = 0x00000054;    // DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK
const uint32_t DIALOG_REMOVED_STYLE = 0x10000002;  // WS_VISIBLE | DS_SYSMODAL
const uint32_t DIALOG_TITLE_MAX = 256;
const uint32_t DIALOG_TEMPLATE_MAX = 602;          // 256-character title, 31-character face

// The template style for a style argument (0: the default) and position.
uint32_t dialog_style(uint32_t style, int32_t x, int32_t y);
// SW_MAXIMIZE, SW_MINIMIZE or SW_SHOW, from the caller's style argument.
int32_t dialog_show_command(uint32_t style);
// Writes the DLGTEMPLATE (no items) into buffer, title and face widened byte by
// byte; returns its length in bytes. The title is used as given (already cut
// or replaced by the caller's rules).
uint32_t build_dialog_template(uint8_t* buffer, const char* title, uint32_t titleLength,
                               uint32_t style, uint32_t extendedStyle, int32_t x, int32_t y,
                               int32_t width, int32_t height, const char* face,
                               int32_t pointSize);

// The title a dialog gets: its first 256 characters, or one space when it is
// empty (title null counts as empty). *length receives the length used.
const char* dialog_title(const char* title, uint32_t* length);

// Pixel mode: where SetWindowPos puts the new dialog and with which flags.
const uint32_t DIALOG_PLACE_FLAGS = 0x071C;  // no z-order, redraw, activation, copy...
struct DialogPlacement {
    int32_t x;
    int32_t y;
    int32_t width;   // whole window, frame included
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
HWND new_dialog(uint32_t mode, HWND parent, const char* title, int32_t x, int32_t y,
                int32_t width, int32_t height, uint32_t style, uint32_t extendedStyle);

}  // namespace vornelle
