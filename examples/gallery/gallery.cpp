// The toolkit gallery: one dialog with a control of every kind the toolkit
// makes, laid out from a table, as a starting point to copy. It closes with
// its Close button, the title bar, the system menu or Alt+F4, and returns 0.
#include <windows.h>

#include "runtime/main_function.h"
#include "toolkit/controls.h"
#include "toolkit/control_text.h"
#include "toolkit/dialog.h"
#include "toolkit/modal.h"
#include "toolkit/window_registry.h"

namespace vornelle {

namespace {

const char GALLERY_TITLE[] = "Vornelle toolkit gallery";
const int32_t GALLERY_WIDTH = 620;  // client area, pixels
const int32_t GALLERY_HEIGHT = 414;
const uint32_t GALLERY_STYLE = WS_SYSMENU | WS_MINIMIZEBOX;  // the toolkit adds the rest

// The window class of the CustomClass control, registered by this program.
const char SWATCH_CLASS[] = "VornelleGallerySwatch";

// Control identifiers: unique within the dialog.
enum GalleryId : int32_t {
    ID_BUTTONS_GROUP = 100,
    ID_CHECK_BOX,
    ID_THREE_STATE,
    ID_RADIO_ONE,
    ID_RADIO_TWO,
    ID_LABEL,
    ID_TEXT_BOX,
    ID_COMBO_BOX,
    ID_LIST_BOX,
    ID_COLOURED_LABEL,
    ID_IMAGE_FRAME,
    ID_IMAGE,
    ID_FITTED_IMAGE,
    ID_IMAGE_BUTTON,
    ID_FITTED_IMAGE_BUTTON,
    ID_IMAGE_CAPTION,
    ID_FITTED_IMAGE_CAPTION,
    ID_IMAGE_BUTTON_CAPTION,
    ID_FITTED_IMAGE_BUTTON_CAPTION,
    ID_CANVAS,
    ID_VERTICAL_SCROLL,
    ID_HORIZONTAL_SCROLL,
    ID_SWATCH,
    ID_CLOSE,
};

// Initial entries of the list and combo boxes, ending with a null.
const char* const COLOUR_NAMES[] = {"Amber", "Cobalt", "Crimson", "Jade", "Violet", 0};
const char* const FRUIT_NAMES[] = {"Apricot",    "Blackberry", "Cherry", "Damson",
                                   "Elderberry", "Fig",        0};

LONG_PTR close_clicked(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR scroll_moved(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Image cells: four columns inside the etched frame.
const int32_t CELL = 92;
const int32_t CELLS_LEFT = 240;

// The gallery's controls, in the order they are added, two lines a row: what
// the control is, then where it goes and how it looks. A style of 0 takes the
// kind's default style; the toolkit adds the bits each kind needs.
// clang-format off
const ControlRow GalleryControlTable[] = {
    // id                            kind                className     text                                   items
    //   x                          y    width  height  style                          extendedStyle  callback
    // Left column: buttons in a group frame, then text controls.
    {ID_BUTTONS_GROUP,               GroupFrame,         0,            "Buttons",                             0,
         12,                        6,   210,   134,    0,                             0,             0},
    {ID_CHECK_BOX,                   CheckBox,           0,            "Check box",                           0,
         24,                        28,  186,   20,     0,                             0,             0},
    {ID_THREE_STATE,                 ThreeStateCheckBox, 0,            "Three-state check box",               0,
         24,                        52,  186,   20,     0,                             0,             0},
    {ID_RADIO_ONE,                   RadioButton,        0,            "Radio button",                        0,
         24,                        76,  186,   20,     WS_TABSTOP | WS_GROUP,         0,             0},
    {ID_RADIO_TWO,                   RadioButton,        0,            "Another radio button",                0,
         24,                        100, 186,   20,     0,                             0,             0},
    {ID_LABEL,                       Label,              0,            "A label: text in the dialog's font.", 0,
         12,                        150, 210,   16,     0,                             0,             0},
    {ID_TEXT_BOX,                    TextBox,            0,            "A text box",                          0,
         12,                        170, 210,   22,     0,                             0,             0},
    {ID_COMBO_BOX,                   ComboBox,           0,            "",                                    COLOUR_NAMES,
         12,                        202, 210,   140,    0,                             0,             0},
    {ID_LIST_BOX,                    ListBox,            0,            "",                                    FRUIT_NAMES,
         12,                        234, 210,   84,     0,                             0,             0},
    {ID_COLOURED_LABEL,              Label,              0,            "A label with colours of its own",     0,
         12,                        326, 210,   80,     SS_CENTER | SS_CENTERIMAGE,    0,             0},

    // Right column: the four image kinds in an etched frame, each captioned.
    {ID_IMAGE_FRAME,                 EtchedFrame,        0,            "",                                    0,
         238,                       6,   370,   152,    0,                             0,             0},
    {ID_IMAGE,                       Image,              0,            "LANDSCAPE",                           0,
         CELLS_LEFT + 21,           32,  48,    48,     0,                             0,             0},
    {ID_FITTED_IMAGE,                FittedImage,        0,            "LANDSCAPE",                           0,
         CELLS_LEFT + CELL + 9,     20,  72,    72,     0,                             0,             0},
    {ID_IMAGE_BUTTON,                ImageButton,        0,            "STAR",                                0,
         CELLS_LEFT + 2 * CELL + 9, 20,  72,    72,     0,                             0,             0},
    {ID_FITTED_IMAGE_BUTTON,         FittedImageButton,  0,            "LANDSCAPE",                           0,
         CELLS_LEFT + 3 * CELL + 9, 20,  72,    72,     0,                             0,             0},
    {ID_IMAGE_CAPTION,               Label,              0,            "Image",                               0,
         CELLS_LEFT,                104, CELL,  32,     SS_CENTER,                     0,             0},
    {ID_FITTED_IMAGE_CAPTION,        Label,              0,            "Fitted image",                        0,
         CELLS_LEFT + CELL,         104, CELL,  32,     SS_CENTER,                     0,             0},
    {ID_IMAGE_BUTTON_CAPTION,        Label,              0,            "Image button",                        0,
         CELLS_LEFT + 2 * CELL,     104, CELL,  32,     SS_CENTER,                     0,             0},
    {ID_FITTED_IMAGE_BUTTON_CAPTION, Label,              0,            "Fitted image\nbutton",                0,
         CELLS_LEFT + 3 * CELL,     104, CELL,  32,     SS_CENTER,                     0,             0},

    // A canvas between two scroll bars, a control of a class of our own, and
    // the default button.
    {ID_CANVAS,                      Canvas,             0,            "",                                    0,
         238,                       166, 353,   172,    0,                             0,             0},
    {ID_VERTICAL_SCROLL,             ScrollBar,          0,            "",                                    0,
         591,                       166, 17,    172,    0,                             0,             scroll_moved},
    {ID_HORIZONTAL_SCROLL,           ScrollBar,          0,            "",                                    0,
         238,                       338, 353,   17,     0,                             0,             scroll_moved},
    {ID_SWATCH,                      CustomClass,        SWATCH_CLASS, "A control of a class of its own",     0,
         238,                       366, 282,   40,     WS_CHILD | WS_VISIBLE,         0,             0},
    {ID_CLOSE,                       PushButton,         0,            "Close",                               0,
         530,                       374, 78,    26,     WS_TABSTOP | BS_DEFPUSHBUTTON, 0,             close_clicked},
};
// clang-format on
const int32_t GALLERY_CONTROL_COUNT = sizeof GalleryControlTable / sizeof GalleryControlTable[0];

// ---- Callbacks -------------------------------------------------------------
// A control's callback gets the dialog's handle; returning 0 lets the toolkit
// and the platform go on with the message, anything else ends it there.

LONG_PTR close_clicked(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return 0;
    end_dialog(dialog, 0);
    return 1;
}

// Moves the thumb of the scroll bar that sent WM_HSCROLL or WM_VSCROLL (lParam).
LONG_PTR scroll_moved(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    HWND bar = (HWND)lParam;
    SCROLLINFO info = {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(bar, SB_CTL, &info)) return 0;
    int position = info.nPos;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= (int)info.nPage; break;
    case SB_PAGEDOWN: position += (int)info.nPage; break;
    case SB_THUMBTRACK: position = info.nTrackPos; break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return 0;
    }
    SetScrollPos(bar, SB_CTL, position, TRUE);  // the platform keeps it in range
    return 1;
}

// ---- The custom control ----------------------------------------------------

// A colour at hue (0 to 1535, six ramps of 256) at full saturation.
COLORREF hue_colour(int hue) {
    int ramp = hue / 256 % 6;
    int up = hue % 256;
    int down = 255 - up;
    const int red[6] = {255, down, 0, 0, up, 255};
    const int green[6] = {up, 255, 255, down, 0, 0};
    const int blue[6] = {0, 0, up, 255, 255, down};
    return RGB(red[ramp], green[ramp], blue[ramp]);
}

// Paints a rainbow with the window's text over it, in the font it was given.
void paint_swatch(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    for (int x = 0; x < client.right; ++x) {
        HBRUSH brush = CreateSolidBrush(hue_colour(x * 1536 / (client.right + 1)));
        RECT column = {x, 0, x + 1, client.bottom};
        FillRect(dc, &column, brush);
        DeleteObject(brush);
    }
    char text[64];
    int length = GetWindowTextA(window, text, sizeof text);
    HGDIOBJ oldFont = SelectObject(dc, (HFONT)GetWindowLongPtrA(window, 0));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, text, length, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
}

// The window procedure of the custom class. The toolkit hands every control
// the dialog's font with WM_SETFONT; this class keeps it in its window's extra
// bytes.
LRESULT CALLBACK swatch_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        SetWindowLongPtrA(window, 0, (LONG_PTR)wParam);
        if (LOWORD(lParam)) InvalidateRect(window, 0, TRUE);
        return 0;
    case WM_GETFONT: return GetWindowLongPtrA(window, 0);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paint_swatch(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool register_swatch_class(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = swatch_proc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);  // the font
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(0, (LPCSTR)IDC_ARROW);
    windowClass.lpszClassName = SWATCH_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

// ---- Setting up the controls -------------------------------------------------

// Text and background colours of the control's own: the toolkit answers the
// control's colour messages from its record, and the record owns the brush
// (deleted with the record).
void give_colours(HWND control, COLORREF text, COLORREF background) {
    set_record_value(control, FIELD_TEXT_COLOR, (LONG_PTR)text);
    set_record_value(control, FIELD_BACK_COLOR, (LONG_PTR)background);
    set_record_value(control, FIELD_BACK_BRUSH, (LONG_PTR)CreateSolidBrush(background));
}

void fill_ellipse(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, left, top, right, bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

// Draws once on the canvas's own surface; the toolkit copies it to the screen
// whenever the control is painted.
void draw_canvas(HWND canvas) {
    HDC dc = (HDC)record_value(canvas, FIELD_CANVAS_DC);
    if (!dc) return;  // no surface: the canvas stays blank
    int width = (int)record_value(canvas, FIELD_CANVAS_WIDTH);
    int height = (int)record_value(canvas, FIELD_CANVAS_HEIGHT);
    int lineHeight = (int)record_value(canvas, FIELD_CANVAS_LINE_HEIGHT);

    // A white sheet with a thin frame.
    RECT sheet = {0, 0, width, height};
    FillRect(dc, &sheet, (HBRUSH)GetStockObject(WHITE_BRUSH));
    FrameRect(dc, &sheet, GetSysColorBrush(COLOR_BTNSHADOW));

    // A small bar chart.
    const int values[] = {38, 62, 50, 84, 70, 96};
    const COLORREF colours[] = {RGB(230, 120, 40), RGB(40, 150, 210), RGB(90, 180, 80),
                                RGB(200, 60, 90),  RGB(140, 90, 190), RGB(240, 190, 40)};
    const int baseline = height - 18;
    for (int i = 0; i < 6; ++i) {
        HBRUSH brush = CreateSolidBrush(colours[i]);
        RECT bar = {16 + i * 30, baseline - values[i], 16 + i * 30 + 22, baseline};
        FillRect(dc, &bar, brush);
        DeleteObject(brush);
    }
    RECT axis = {10, baseline, 16 + 6 * 30, baseline + 1};
    FillRect(dc, &axis, (HBRUSH)GetStockObject(GRAY_BRUSH));

    // Overlapping circles.
    fill_ellipse(dc, width - 140, 40, width - 70, 110, RGB(255, 170, 170));
    fill_ellipse(dc, width - 105, 40, width - 35, 110, RGB(170, 200, 255));
    fill_ellipse(dc, width - 122, 70, width - 52, 140, RGB(190, 235, 170));

    // Text: the canvas draws at the current position, which moves on after each piece.
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(40, 40, 40));
    const char title[] = "A canvas: drawn once, painted by the toolkit";
    MoveToEx(dc, 10, 8, 0);
    TextOutA(dc, 0, 0, title, sizeof title - 1);
    SetTextColor(dc, RGB(120, 120, 120));
    const char note[] = "Its own 8-point font; ";
    const char more[] = "text goes on where it stopped.";
    MoveToEx(dc, 10, 8 + lineHeight, 0);
    TextOutA(dc, 0, 0, note, sizeof note - 1);
    TextOutA(dc, 0, 0, more, sizeof more - 1);
}

void set_scroll_bar(HWND dialog, int32_t id, int position) {
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, position, 0};
    SetScrollInfo(control_handle(dialog, id), SB_CTL, &info, TRUE);
}

}  // namespace

int32_t application_main(HINSTANCE instance, HINSTANCE, const char*, int32_t) {
    register_swatch_class(instance);
    HWND dialog = new_dialog(DIALOG_PIXELS, 0, GALLERY_TITLE, DIALOG_CENTRE, DIALOG_CENTRE,
                             GALLERY_WIDTH, GALLERY_HEIGHT, GALLERY_STYLE, 0);
    if (!dialog) return 1;

    add_controls(dialog, GalleryControlTable, GALLERY_CONTROL_COUNT);

    // Initial states that the platform's controls keep themselves.
    SendMessageA(control_handle(dialog, ID_CHECK_BOX), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(control_handle(dialog, ID_THREE_STATE), BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessageA(control_handle(dialog, ID_RADIO_ONE), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(control_handle(dialog, ID_COMBO_BOX), CB_SETCURSEL, 1, 0);
    SendMessageA(control_handle(dialog, ID_LIST_BOX), LB_SETCURSEL, 2, 0);
    set_scroll_bar(dialog, ID_VERTICAL_SCROLL, 30);
    set_scroll_bar(dialog, ID_HORIZONTAL_SCROLL, 50);

    give_colours(control_handle(dialog, ID_COLOURED_LABEL), RGB(255, 255, 255), RGB(30, 90, 150));
    draw_canvas(control_handle(dialog, ID_CANVAS));

    focus_control(dialog, ID_CLOSE);
    show_dialog_modal(dialog, 0, 0);  // returns once the dialog is gone
    return 0;
}

}  // namespace vornelle
