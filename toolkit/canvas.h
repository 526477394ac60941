// The Canvas control's off-screen surface: a memory device context holding a
// bitmap the size of the control and a font of its own, kept in the control's
// record (and released with it), and copied to the screen when the dialog
// procedure passes on the control's WM_DRAWITEM.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "toolkit/window_registry.h"

namespace vornelle {

// lfHeight of the canvas font: an 8-point font at pixelsPerInch, negative (a
// character height), the division truncated toward zero (96 gives -10).
int32_t canvas_font_height(int32_t pixelsPerInch);

// pixels ÷ (size + 1) in single precision: the pixels per dialog unit of a
// units-mode canvas whose caller's size was size. 0 when size + 1 is 0.
float canvas_scale(int32_t pixels, int32_t size);

// Makes the canvas font ("MS Sans Serif", 8 points, normal weight) and selects
// it into canvasDc, keeping the displaced font and the text metrics in the
// record and turning on TA_UPDATECP. A font that cannot be made or selected is
// not kept, and the device context keeps its own font.
void select_canvas_font(WindowRecord* record, HDC canvasDc);

// The second half of select_canvas_font, given the font made (null when it
// could not be): selects it into canvasDc and keeps the displaced font and the
// metrics in the record. A font that cannot be selected is deleted; the record
// and the device context are then left as they were.
void attach_canvas_font(WindowRecord* record, HDC canvasDc, HFONT font);

// Builds the surface of the canvas control of record (filled with the button
// face colour) from the control's device context; width and height are the
// caller's, for the scale factors of a units-mode canvas. When the control's
// device context, the memory device context or its bitmap cannot be had, the
// record gets no surface and keeps no object.
void set_up_canvas(WindowRecord* record, int32_t width, int32_t height);

// WM_DRAWITEM for a control of dialog: a Canvas asked to draw itself whole
// gets its picture copied to the top-left corner of item->hDC, and the answer
// is 1; anything else is left to the platform with 0.
INT_PTR paint_canvas(HWND dialog, const DRAWITEMSTRUCT* item);

}  // namespace vornelle
