// The Canvas control's surface: built once when the control is added, from
// the control's device context, kept in the record (which releases the bitmap,
// the font and the memory device context when it is destroyed) and copied
// whole to the screen when the control is drawn. A surface is recorded only
// whole; a step that fails leaves nothing behind.
#include "toolkit/canvas.h"

#include <string.h>

#include "toolkit/control_kind.h"
#include "toolkit/control_text.h"

namespace vornelle {

namespace {

const int32_t CANVAS_FONT_POINTS = 8;
const int32_t POINTS_PER_INCH = 72;
const LONG CANVAS_FONT_WEIGHT = FW_NORMAL;  // 400
const char CANVAS_FONT_FACE[] = "MS Sans Serif";

bool selected(HGDIOBJ displaced) { return displaced && displaced != HGDI_ERROR; }

// The memory device context with a client-sized bitmap selected and filled
// with the button face colour, recorded in the record; false (and nothing
// kept) when a step fails.
bool make_surface(WindowRecord* record, HDC controlDc) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(record->window, &client);
    int32_t width = client.right - client.left;
    int32_t height = client.bottom - client.top;

    HDC canvasDc = CreateCompatibleDC(controlDc);
    if (!canvasDc) return false;
    HBITMAP bitmap = CreateCompatibleBitmap(controlDc, width, height);
    HGDIOBJ oldBitmap = bitmap ? SelectObject(canvasDc, bitmap) : 0;
    if (!selected(oldBitmap)) {
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(canvasDc);
        return false;
    }
    record->canvasDc = canvasDc;
    record->canvasOldBitmap = oldBitmap;
    record->canvasWidth = width;
    record->canvasHeight = height;
    RECT whole = {0, 0, width, height};
    FillRect(canvasDc, &whole, GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

}  // namespace

int32_t canvas_font_height(int32_t pixelsPerInch) {
    // Integer division truncates toward zero: 96 pixels per inch give -10.
    return -(int32_t)((int64_t)pixelsPerInch * CANVAS_FONT_POINTS / POINTS_PER_INCH);
}

float canvas_scale(int32_t pixels, int32_t size) {
    double divisor = (double)size + 1.0;
    if (divisor == 0.0) return 0.0f;
    return (float)((double)pixels / divisor);
}

void select_canvas_font(WindowRecord* record, HDC canvasDc) {
    LOGFONTA description;
    memset(&description, 0, sizeof description);
    description.lfHeight = canvas_font_height(GetDeviceCaps(canvasDc, LOGPIXELSY));
    description.lfWeight = CANVAS_FONT_WEIGHT;
    memcpy(description.lfFaceName, CANVAS_FONT_FACE, sizeof CANVAS_FONT_FACE);

    attach_canvas_font(record, canvasDc, CreateFontIndirectA(&description));
}

void attach_canvas_font(WindowRecord* record, HDC canvasDc, HFONT font) {
    if (!font) return;
    HGDIOBJ oldFont = SelectObject(canvasDc, font);
    if (!selected(oldFont)) {
        DeleteObject(font);
        return;
    }
    record->canvasOldFont = oldFont;
    TEXTMETRICA metrics;
    if (GetTextMetricsA(canvasDc, &metrics)) {
        record->canvasCharWidth = metrics.tmAveCharWidth;
        record->canvasLineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    }
    SetTextAlign(canvasDc, TA_UPDATECP);
}

void set_up_canvas(WindowRecord* record, int32_t width, int32_t height) {
    HDC controlDc = GetDC(record->window);
    if (controlDc) {
        bool made = make_surface(record, controlDc);
        ReleaseDC(record->window, controlDc);
        if (made) {
            select_canvas_font(record, record->canvasDc);
            SetTextColor(record->canvasDc, record->canvasForeColor);
            SetBkColor(record->canvasDc, record->canvasBackColor);
            SetBkMode(record->canvasDc, OPAQUE);
        }
    }
    if (record->flags & RECORD_UNITS) {
        record->canvasScaleX = canvas_scale(record->canvasWidth, width);
        record->canvasScaleY = canvas_scale(record->canvasHeight, height);
    }
}

INT_PTR paint_canvas(HWND dialog, const DRAWITEMSTRUCT* item) {
    HWND control = control_handle(dialog, (int32_t)item->CtlID);
    WindowRecord* record = find_record(control);
    if (!record || record->kind != Canvas) return 0;
    if (!(item->itemAction & ODA_DRAWENTIRE)) return 0;
    BitBlt(item->hDC, 0, 0, record->canvasWidth, record->canvasHeight, record->canvasDc, 0, 0,
           SRCCOPY);
    return 1;
}

}  // namespace vornelle
