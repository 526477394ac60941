// new_dialog: a hidden, modeless, empty dialog from an in-memory template with
// dialog_proc as its procedure, sized (and centred) in pixels in pixel mode, and
// registered with its coordinate mode, first show command and font.
#include "toolkit/dialog.h"

#include "runtime/startup_record.h"
#include "toolkit/dialog_proc.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

namespace vornelle {

namespace {

// Half of a signed value, rounded toward minus infinity (C's / rounds toward 0).
int32_t half_rounded_down(int64_t value) {
    int64_t half = value / 2;
    if (value % 2 < 0) --half;
    return (int32_t)half;
}

// Template buffer on a four-byte boundary, large enough for any template.
union DialogTemplateBuffer {
    DWORD alignment;
    uint8_t bytes[DIALOG_TEMPLATE_MAX];
};

}  // namespace

int32_t dialog_show_command(uint32_t style) {
    if (style & WS_MAXIMIZE) return SW_MAXIMIZE;
    if (style & WS_MINIMIZE) return SW_MINIMIZE;
    return SW_SHOW;
}

DialogPlacement dialog_placement(int32_t x, int32_t y, int32_t width, int32_t height,
                                 const RECT& client, const RECT& window, const RECT& workArea) {
    int64_t frameWidth =
        ((int64_t)window.right - window.left) - ((int64_t)client.right - client.left);
    int64_t frameHeight =
        ((int64_t)window.bottom - window.top) - ((int64_t)client.bottom - client.top);
    int64_t fullWidth = width + frameWidth;
    int64_t fullHeight = height + frameHeight;

    DialogPlacement placement;
    placement.width = (int32_t)fullWidth;
    placement.height = (int32_t)fullHeight;
    placement.flags = DIALOG_PLACE_FLAGS;
    if (x == DIALOG_KEEP_POSITION || y == DIALOG_KEEP_POSITION) {
        placement.flags |= SWP_NOMOVE;
        placement.x = window.left;
        placement.y = window.top;
    } else if (x == DIALOG_CENTRE || y == DIALOG_CENTRE) {
        placement.x = half_rounded_down((int64_t)workArea.left + workArea.right - fullWidth);
        placement.y = half_rounded_down((int64_t)workArea.top + workArea.bottom - fullHeight);
    } else {
        placement.x = x;
        placement.y = y;
    }
    return placement;
}

HWND new_dialog(uint32_t mode, HWND parent, const char* title, int32_t x, int32_t y, int32_t width,
                int32_t height, uint32_t style, uint32_t extendedStyle) {
    uint32_t titleLength;
    const char* usedTitle = dialog_title(title, &titleLength);

    // A thread whose state cannot be made (no memory left) still gets a dialog,
    // in the start-up default font.
    const char* face = THREAD_DEFAULT_FONT_FACE;
    int32_t pointSize = THREAD_DEFAULT_FONT_SIZE;
    ToolkitThreadState* state = thread_state();
    if (state) {
        face = state->inherited.defaultFontFace;
        pointSize = state->inherited.defaultFontSize;
    }

    DialogTemplateBuffer buffer;
    build_dialog_template(buffer.bytes, usedTitle, titleLength, dialog_style(style, x, y),
                          extendedStyle, x, y, width, height, face, pointSize);
    HWND dialog = CreateDialogIndirectParamA(startupRecord.instance, (LPCDLGTEMPLATEA)buffer.bytes,
                                             parent, dialog_proc, 0);
    if (!dialog) return 0;

    bool pixels = (mode & DIALOG_PIXELS) != 0;
    if (pixels) {
        RECT client = {0, 0, 0, 0};
        RECT window = {0, 0, 0, 0};
        RECT workArea = {0, 0, 0, 0};
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &window);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
        DialogPlacement placement = dialog_placement(x, y, width, height, client, window, workArea);
        SetWindowPos(dialog, 0, placement.x, placement.y, placement.width, placement.height,
                     placement.flags);
    }

    uint32_t flags = RECORD_DIALOG | (pixels ? RECORD_PIXELS : RECORD_UNITS);
    WindowRecord* record = create_record(dialog, parent, flags, 0);
    if (!record) {
        // No dialog without its record: the window goes again.
        DestroyWindow(dialog);
        return 0;
    }
    record->style = style;
    record->showCommand = dialog_show_command(style);
    record->flags = flags;
    record->font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    return dialog;
}

}  // namespace vornelle
