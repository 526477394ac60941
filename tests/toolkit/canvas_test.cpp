// Canvas controls: the font height and scale arithmetic, the surface that
// add_control builds (size, fill, font, colours, scale factors), drawing on it
// reaching the screen, its release with the dialog, and the surfaces that the
// platform refuses.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>

#include "tests/toolkit/creation_fixture.h"
#include "toolkit/canvas.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/image_controls.h"
#include "toolkit/window_registry.h"

using namespace vornelle;
using vornelle_test::client_size;
using vornelle_test::CreationTest;

namespace {

TEST(CanvasFontHeight, EightPointsTruncatedTowardZero) {
    struct Case {
        int32_t pixelsPerInch;
        int32_t height;
    };
    const Case cases[] = {{96, -10}, {120, -13}, {144, -16}, {72, -8},  {192, -21},
                          {100, -11}, {108, -12}, {9, -1},    {8, 0},    {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(canvas_font_height(c.pixelsPerInch), c.height) << c.pixelsPerInch;
    }
}

TEST(CanvasScale, PixelsPerCallerUnitPlusOne) {
    EXPECT_EQ(canvas_scale(100, 99), 1.0f);
    EXPECT_EQ(canvas_scale(150, 99), 1.5f);
    EXPECT_EQ(canvas_scale(91, 60), (float)(91.0 / 61.0));
    EXPECT_EQ(canvas_scale(0, 10), 0.0f);
    // No quotient for a size of -1: the factor stays 0 rather than infinite.
    EXPECT_EQ(canvas_scale(10, -1), 0.0f);
    // The largest size does not overflow.
    EXPECT_GT(canvas_scale(2147483647, 2147483647), 0.99f);
}

// The canvas font that cannot be made or selected: the one made is deleted,
// nothing is kept in the record, and the surface keeps the font of its own
// (and its text alignment). Made and selected, it is the surface's font and
// the record keeps what it displaced and its metrics.
TEST(CanvasFont, AFontThatCannotBeMadeOrSelectedLeavesTheSurfacesOwn) {
    enum FontGiven { NO_FONT, NEW_FONT, DELETED_FONT };
    struct Case {
        const char* name;
        FontGiven font;
        bool surfaceAlive;
        bool selected;
    };
    const Case cases[] = {
        {"no font could be made", NO_FONT, true, false},
        {"a handle that is no font any more", DELETED_FONT, true, false},
        {"a surface that is gone", NEW_FONT, false, false},
        {"made and selected", NEW_FONT, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HDC surface = CreateCompatibleDC(NULL);
        ASSERT_NE(surface, nullptr);
        HGDIOBJ ownFont = GetCurrentObject(surface, OBJ_FONT);
        UINT ownAlign = GetTextAlign(surface);
        if (!c.surfaceAlive) DeleteDC(surface);
        HFONT font = 0;
        if (c.font != NO_FONT) {
            font = CreateFontA(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                               "MS Sans Serif");
            ASSERT_NE(font, nullptr);
            if (c.font == DELETED_FONT) DeleteObject(font);
        }
        WindowRecord record;
        memset(&record, 0, sizeof record);
        WindowRecord untouched = record;

        attach_canvas_font(&record, surface, font);

        if (c.selected) {
            EXPECT_EQ(GetCurrentObject(surface, OBJ_FONT), (HGDIOBJ)font);
            EXPECT_EQ(record.canvasOldFont, ownFont);
            EXPECT_GT(record.canvasCharWidth, 0);
            EXPECT_GT(record.canvasLineHeight, 0);
            EXPECT_EQ(GetTextAlign(surface) & TA_UPDATECP, (UINT)TA_UPDATECP);
            SelectObject(surface, ownFont);
            DeleteObject(font);
        } else {
            EXPECT_EQ(memcmp(&record, &untouched, sizeof record), 0);
            if (font) {
                EXPECT_EQ(GetObjectType(font), 0u) << "the font made is left alive";
            }
            if (c.surfaceAlive) {
                EXPECT_EQ(GetCurrentObject(surface, OBJ_FONT), ownFont);
                EXPECT_EQ(GetTextAlign(surface), ownAlign);
            }
        }
        if (c.surfaceAlive) DeleteDC(surface);
    }
}

class CanvasTest : public CreationTest {
protected:
    HWND pixel_dialog() {
        return keep(new_dialog(DIALOG_PIXELS, NULL, "Canvas", -1, -1, 320, 240, 0, 0));
    }
    HWND canvas(HWND dialog, int32_t id, int x, int y, int w, int h) {
        return add_control(Canvas, "", dialog, id, "", nullptr, x, y, w, h, 0, 0, nullptr);
    }
};

TEST_F(CanvasTest, APixelModeCanvasGetsAFilledSurfaceOfItsClientSize) {
    HWND dialog = pixel_dialog();
    HWND control = canvas(dialog, 30, 10, 10, 120, 70);
    ASSERT_NE(control, nullptr);
    WindowRecord* record = find_record(control);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->canvasDc, nullptr);
    EXPECT_EQ(GetObjectType(record->canvasDc), (DWORD)OBJ_MEMDC);
    EXPECT_EQ(record->canvasWidth, 120);
    EXPECT_EQ(record->canvasHeight, 70);
    EXPECT_EQ(record->canvasWidth, client_size(control).cx);

    // A bitmap of that size is selected, filled with the button face colour.
    HGDIOBJ bitmap = GetCurrentObject(record->canvasDc, OBJ_BITMAP);
    BITMAP info = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), (int)sizeof info);
    EXPECT_EQ(info.bmWidth, 120);
    EXPECT_EQ(info.bmHeight, 70);
    EXPECT_NE(record->canvasOldBitmap, nullptr);
    EXPECT_NE(record->canvasOldBitmap, bitmap);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(GetPixel(record->canvasDc, 0, 0), face);
    EXPECT_EQ(GetPixel(record->canvasDc, 119, 69), face);

    // Colours and mode for text.
    EXPECT_EQ(GetTextColor(record->canvasDc), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(GetBkColor(record->canvasDc), face);
    EXPECT_EQ(GetBkMode(record->canvasDc), OPAQUE);
    EXPECT_EQ(GetTextAlign(record->canvasDc) & TA_UPDATECP, (UINT)TA_UPDATECP);

    // Pixel mode: no scale.
    EXPECT_EQ(record->canvasScaleX, 0.0f);
    EXPECT_EQ(record->canvasScaleY, 0.0f);
}

TEST_F(CanvasTest, TheCanvasFontIsEightPointMsSansSerif) {
    HWND dialog = pixel_dialog();
    WindowRecord* record = find_record(canvas(dialog, 30, 10, 10, 100, 50));
    ASSERT_TRUE(record && record->canvasDc);
    HGDIOBJ font = GetCurrentObject(record->canvasDc, OBJ_FONT);
    ASSERT_NE(record->canvasOldFont, nullptr);
    EXPECT_NE(record->canvasOldFont, font);
    LOGFONTA made = {};
    ASSERT_EQ(GetObjectA(font, sizeof made, &made), (int)sizeof made);
    int pixelsPerInch = GetDeviceCaps(record->canvasDc, LOGPIXELSY);
    EXPECT_EQ(made.lfHeight, canvas_font_height(pixelsPerInch));
    if (pixelsPerInch == 96) {
        EXPECT_EQ(made.lfHeight, -10);
    }
    EXPECT_EQ(made.lfWeight, 400);
    EXPECT_EQ(made.lfWidth, 0);
    EXPECT_EQ(made.lfItalic, 0);
    EXPECT_EQ(made.lfCharSet, ANSI_CHARSET);
    EXPECT_STREQ(made.lfFaceName, "MS Sans Serif");

    TEXTMETRICA metrics = {};
    ASSERT_TRUE(GetTextMetricsA(record->canvasDc, &metrics));
    EXPECT_EQ(record->canvasCharWidth, metrics.tmAveCharWidth);
    EXPECT_EQ(record->canvasLineHeight, metrics.tmHeight + metrics.tmExternalLeading);
    EXPECT_GT(record->canvasCharWidth, 0);
    EXPECT_GT(record->canvasLineHeight, 0);
}

TEST_F(CanvasTest, AUnitsModeCanvasScalesPixelsPerCallerUnitPlusOne) {
    HWND dialog = keep(new_dialog(0, NULL, "Canvas", -1, -1, 200, 150, 0, 0));
    HWND control = canvas(dialog, 30, 10, 10, 60, 40);
    WindowRecord* record = find_record(control);
    ASSERT_TRUE(record && record->canvasDc);
    EXPECT_EQ(record->flags, RECORD_UNITS | RECORD_CONTROL);
    SIZE client = client_size(control);
    EXPECT_EQ(record->canvasWidth, client.cx);
    EXPECT_EQ(record->canvasHeight, client.cy);
    EXPECT_EQ(record->canvasScaleX, (float)(client.cx / 61.0));
    EXPECT_EQ(record->canvasScaleY, (float)(client.cy / 41.0));
    EXPECT_GT(record->canvasScaleX, 1.0f);  // a dialog unit is more than a pixel
}

TEST_F(CanvasTest, DrawingOnTheSurfaceReachesTheScreen) {
    HWND dialog = pixel_dialog();
    HWND control = canvas(dialog, 30, 20, 20, 160, 100);
    WindowRecord* record = find_record(control);
    ASSERT_TRUE(record && record->canvasDc);

    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT square = {10, 10, 40, 40};
    FillRect(record->canvasDc, &square, red);
    DeleteObject(red);
    SetTextColor(record->canvasDc, RGB(0, 0, 255));
    SetBkColor(record->canvasDc, RGB(255, 255, 0));
    MoveToEx(record->canvasDc, 60, 10, nullptr);
    ASSERT_TRUE(TextOutA(record->canvasDc, 0, 0, "Canvas", 6));
    // TA_UPDATECP: the text went to the current position, which moved on.
    POINT after = {};
    GetCurrentPositionEx(record->canvasDc, &after);
    EXPECT_GT(after.x, 60);

    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);

    HDC screen = GetDC(control);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetPixel(screen, 25, 25), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(screen, 5, 5), GetSysColor(COLOR_BTNFACE));
    // The text's opaque background starts at the position it was drawn at.
    EXPECT_EQ(GetPixel(screen, 61, 11), RGB(255, 255, 0));
    int blue = 0;
    for (int x = 60; x < after.x; ++x) {
        for (int y = 10; y < 10 + record->canvasLineHeight; ++y) {
            if (GetPixel(screen, x, y) == RGB(0, 0, 255)) ++blue;
        }
    }
    EXPECT_GT(blue, 10) << "no text on the screen";
    ReleaseDC(control, screen);
}

TEST_F(CanvasTest, TheSurfaceGoesWithTheDialog) {
    HWND dialog = new_dialog(DIALOG_PIXELS, NULL, "Canvas", -1, -1, 320, 240, 0, 0);
    ASSERT_NE(dialog, nullptr);
    WindowRecord* record = find_record(canvas(dialog, 30, 10, 10, 100, 50));
    ASSERT_TRUE(record && record->canvasDc);
    HDC dc = record->canvasDc;
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    ASSERT_EQ(GetObjectType(font), (DWORD)OBJ_FONT);

    ASSERT_TRUE(DestroyWindow(dialog));
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
    EXPECT_EQ(GetObjectType(font), 0u);
}

TEST_F(CanvasTest, AWindowWithoutADeviceContextGetsNoSurface) {
    // A record for a window that is gone: the platform has no device context for it.
    HWND dialog = keep(new_dialog(0, NULL, "Canvas", -1, -1, 200, 150, 0, 0));
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_OWNERDRAW, 0, 0, 50, 50, dialog,
                                (HMENU)77, GetModuleHandleA(NULL), nullptr);
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    ASSERT_EQ(GetDC(gone), nullptr);
    WindowRecord* record = create_record(gone, dialog, RECORD_UNITS | RECORD_CONTROL, Canvas);
    ASSERT_NE(record, nullptr);

    finish_image_control(record, 77, "", SS_OWNERDRAW, 50, 50, 40, 40);
    EXPECT_EQ(record->canvasDc, nullptr);
    EXPECT_EQ(record->canvasOldBitmap, nullptr);
    EXPECT_EQ(record->canvasOldFont, nullptr);
    EXPECT_EQ(record->canvasWidth, 0);
    EXPECT_EQ(record->canvasHeight, 0);
    EXPECT_EQ(record->canvasScaleX, 0.0f);
    EXPECT_EQ(record->canvasScaleY, 0.0f);
    EXPECT_TRUE(destroy_record(gone));
}

TEST_F(CanvasTest, ACanvasTooLargeForABitmapGetsNoSurface) {
    HWND dialog = pixel_dialog();
    const int side = 30000;  // 3.6 GB at 32 bits per pixel
    HWND control = canvas(dialog, 30, 0, 0, side, side);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(client_size(control).cx, side);
    HDC screen = GetDC(control);
    HBITMAP probe = CreateCompatibleBitmap(screen, side, side);
    ReleaseDC(control, screen);
    if (probe) {
        DeleteObject(probe);
        GTEST_SKIP() << "the platform made a bitmap of " << side << " x " << side;
    }
    WindowRecord* record = find_record(control);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->canvasDc, nullptr);
    EXPECT_EQ(record->canvasOldBitmap, nullptr);
    EXPECT_EQ(record->canvasOldFont, nullptr);
    EXPECT_EQ(record->canvasWidth, 0);

    // The control still paints (with nothing to copy) and goes with its dialog.
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog);
}

}  // namespace
