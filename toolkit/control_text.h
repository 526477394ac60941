// Control text and focus, for any child of a dialog found by its identifier
// (GetDlgItem): no record is read or written.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

HWND control_handle(HWND dialog, int32_t id);
// Replaces the control's text (up to its first NUL; null: empty), with the FPU
// state saved and restored around the platform call. False when there is no
// such control or the control refused the text (an edit control out of memory).
bool set_control_text(HWND dialog, int32_t id, const char* text);
// SetFocus on the control, or on null when there is no such control.
void focus_control(HWND dialog, int32_t id);

}  // namespace vornelle
