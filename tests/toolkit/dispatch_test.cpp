// The dialog procedure on real dialogs: which callback an event reaches, how a
// handled result gets to the sender, closing from the title bar and the system
// menu, control colouring on a memory device context, canvas painting, the
// dropped combo box and the removal of records with the dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "dispatch_support.h"
#include "tests/support/import_patch.h"
#include "tests/toolkit/record_memory.h"
#include "tests/toolkit/time_limit.h"
#include "toolkit/control_colors.h"
#include "toolkit/control_text.h"
#include "toolkit/control_lifetime.h"
#include "toolkit/dialog_proc.h"

using namespace vornelle;
using namespace vornelle_test;

namespace {

class DispatchTest : public ToolkitWindowTest {
protected:
    void SetUp() override {
        ToolkitWindowTest::SetUp();
        dc_ = CreateCompatibleDC(NULL);
        ASSERT_NE(dc_, (HDC)0);
    }
    void TearDown() override {
        DeleteDC(dc_);
        ToolkitWindowTest::TearDown();
    }
    // The DialogCallback as show_dialog_modal would store it, without the loop.
    static void set_dialog_callback(HWND dialog, DialogCallback callback) {
        ASSERT_NE(set_record_value(dialog, FIELD_CALLBACK, (LONG_PTR)callback), nullptr);
    }
    // Resets the device context to colours no table row gives.
    void reset_dc() {
        SetTextColor(dc_, RGB(1, 2, 3));
        SetBkColor(dc_, RGB(4, 5, 6));
        SetBkMode(dc_, OPAQUE);
    }
    HDC dc_ = 0;
};

TEST_F(DispatchTest, ControlCallbackGetsTheDialogAndTheClickUnchanged) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, control_callback, "Go");
    set_dialog_callback(dialog, dialog_callback);

    SendMessageA(button, BM_CLICK, 0, 0);

    ASSERT_EQ(controlRecorder.calls.size(), 1u);
    const Call& call = controlRecorder.calls[0];
    EXPECT_EQ(call.dialog, dialog);  // the dialog's handle, not the button's
    EXPECT_EQ(call.message, (UINT)WM_COMMAND);
    EXPECT_EQ(call.wParam, MAKEWPARAM(102, BN_CLICKED));
    EXPECT_EQ(call.lParam, (LPARAM)button);
    // The control's 0 lets dispatch go on to the dialog.
    EXPECT_EQ(dialogRecorder.count(WM_COMMAND), 1);
}

TEST_F(DispatchTest, EveryNotificationOfTheControlReachesItsCallback) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, control_callback, "Go");
    const WORD codes[] = {BN_CLICKED, BN_SETFOCUS, 0x1234};
    for (WORD code : codes) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(102, code), (LPARAM)button);
    }
    ASSERT_EQ(controlRecorder.calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(controlRecorder.calls[i].wParam, MAKEWPARAM(102, codes[i]));
        EXPECT_EQ(controlRecorder.calls[i].lParam, (LPARAM)button);
    }
}

// A handled result reaches the sender through the message-result slot; a value
// the callback stored there itself wins.
TEST_F(DispatchTest, HandledResultEndsDispatchAndReachesTheSender) {
    struct Case {
        const char* name;
        LONG_PTR returned;
        LONG_PTR storedByCallback;
        LONG_PTR procedureResult;
        LRESULT senderResult;
        bool dialogCallbackCalled;
    };
    const Case cases[] = {
        {"value", 77, 0, 77, 77, false},
        {"own slot value", 1, 555, 1, 555, false},
        {"negative value", -5, 0, -5, -5, false},
        {"not handled", 0, 0, 0, 0, true},
    };
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, control_callback, "Go");
    set_dialog_callback(dialog, dialog_callback);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controlRecorder.reset();
        dialogRecorder.reset();
        controlRecorder.result = c.returned;
        controlRecorder.storedResult = c.storedByCallback;

        LRESULT sent = SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED),
                                    (LPARAM)button);
        EXPECT_EQ(sent, c.senderResult);
        EXPECT_EQ(dialogRecorder.count(WM_COMMAND), c.dialogCallbackCalled ? 1 : 0);

        // The procedure itself returns the callback's value.
        dialogRecorder.reset();
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        EXPECT_EQ(dialog_proc(dialog, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED), (LPARAM)button),
                  c.procedureResult);
        EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_MSGRESULT),
                  c.storedByCallback ? c.storedByCallback : c.procedureResult);
    }
}

TEST_F(DispatchTest, DialogCallbackResultReachesTheSender) {
    HWND dialog = make_dialog();
    set_dialog_callback(dialog, dialog_callback);
    dialogRecorder.result = 4242;
    EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(300, 0), 0), 4242);
    EXPECT_EQ(dialogRecorder.count(WM_COMMAND), 1);
}

// A control without a callback leaves the event to the dialog; a menu item with
// the same identifier is not looked at.
TEST_F(DispatchTest, ControlWithoutCallbackGoesToTheDialogNotTheMenu) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 201, nullptr, "label");
    HMENU menu = CreateMenu();
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_DATA | MIIM_STRING;
    item.wID = 201;
    item.dwItemData = (ULONG_PTR)menu_callback;
    item.dwTypeData = (LPSTR) "Item";
    ASSERT_TRUE(InsertMenuItemA(menu, 0, TRUE, &item));
    ASSERT_TRUE(SetMenu(dialog, menu));
    set_dialog_callback(dialog, dialog_callback);

    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(201, 0), (LPARAM)label);

    EXPECT_TRUE(menuRecorder.calls.empty());
    ASSERT_EQ(dialogRecorder.count(WM_COMMAND), 1);
    EXPECT_EQ(dialogRecorder.calls.back().wParam, MAKEWPARAM(201, 0));
}

TEST_F(DispatchTest, MenuItemCallbackServesCommandsNoControlCarries) {
    HWND dialog = make_dialog();
    HMENU menu = CreateMenu();
    struct Item {
        UINT id;
        ULONG_PTR data;
    };
    const Item items[] = {{301, (ULONG_PTR)menu_callback}, {302, 0}};
    for (const Item& it : items) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_DATA | MIIM_STRING;
        item.wID = it.id;
        item.dwItemData = it.data;
        item.dwTypeData = (LPSTR) "Item";
        ASSERT_TRUE(InsertMenuItemA(menu, 0, TRUE, &item));
    }
    ASSERT_TRUE(SetMenu(dialog, menu));
    set_dialog_callback(dialog, dialog_callback);

    // The item's callback handles the command: the dialog never sees it.
    menuRecorder.result = 9;
    EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(301, 0), 0), 9);
    ASSERT_EQ(menuRecorder.calls.size(), 1u);
    EXPECT_EQ(menuRecorder.calls[0].dialog, dialog);
    EXPECT_EQ(menuRecorder.calls[0].wParam, MAKEWPARAM(301, 0));
    EXPECT_EQ(dialogRecorder.count(WM_COMMAND), 0);

    // Not handled by the item, or an item without data: the dialog's turn.
    menuRecorder.result = 0;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(301, 0), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(302, 0), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(303, 0), 0);  // no such item
    EXPECT_EQ(menuRecorder.calls.size(), 2u);
    EXPECT_EQ(dialogRecorder.count(WM_COMMAND), 3);
}

TEST_F(DispatchTest, ScrollEventsReachTheScrollBarsCallback) {
    HWND dialog = make_dialog();
    HWND bar = make_control(ScrollBar, dialog, 401, control_callback);
    set_dialog_callback(dialog, dialog_callback);

    SendMessageA(dialog, WM_HSCROLL, SB_LINEDOWN, (LPARAM)bar);
    SendMessageA(dialog, WM_VSCROLL, SB_LINEUP, (LPARAM)bar);
    ASSERT_EQ(controlRecorder.calls.size(), 2u);
    EXPECT_EQ(controlRecorder.calls[0].message, (UINT)WM_HSCROLL);
    EXPECT_EQ(controlRecorder.calls[0].lParam, (LPARAM)bar);
    EXPECT_EQ(controlRecorder.calls[1].message, (UINT)WM_VSCROLL);

    // The dialog's own scroll bar (lParam 0) has no control callback.
    controlRecorder.reset();
    SendMessageA(dialog, WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_TRUE(controlRecorder.calls.empty());
    EXPECT_EQ(dialogRecorder.count(WM_HSCROLL), 2);
}

TEST_F(DispatchTest, ActivationIsAnsweredWithoutAnyCallback) {
    HWND dialog = make_dialog();
    set_dialog_callback(dialog, dialog_callback);
    for (WORD state : {WA_INACTIVE, WA_ACTIVE, WA_CLICKACTIVE}) {
        EXPECT_EQ(dialog_proc(dialog, WM_ACTIVATE, MAKEWPARAM(state, 0), 0), 1) << state;
    }
    EXPECT_EQ(dialogRecorder.count(WM_ACTIVATE), 0);
    // Any other activation state is an event like any other: it reaches the
    // DialogCallback, whose answer is the result.
    dialogRecorder.result = 5;
    for (WORD state : {3, 4, 0xFFFF}) {
        dialogRecorder.reset();
        dialogRecorder.result = 5;
        EXPECT_EQ(dialog_proc(dialog, WM_ACTIVATE, MAKEWPARAM(state, 0), 0), 5) << state;
        EXPECT_EQ(dialogRecorder.count(WM_ACTIVATE), 1) << state;
    }
    dialogRecorder.reset();
    // Real activation by the platform.
    ShowWindow(dialog, SW_SHOW);
    SetActiveWindow(dialog);
    pump_messages(20);
    EXPECT_EQ(dialogRecorder.count(WM_ACTIVATE), 0);
    EXPECT_GT(dialogRecorder.calls.size(), 0u);  // other messages did arrive
}

TEST_F(DispatchTest, DrawItemCallsTheDialogButIgnoresItsResult) {
    HWND dialog = make_dialog();
    HWND canvas = make_control(Canvas, dialog, 501, nullptr);
    HWND label = make_control(Label, dialog, 502, nullptr, "label");
    ASSERT_NE(label, (HWND)0);
    WindowRecord* record = find_record(canvas);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->kind, Canvas);
    const int width = 16, height = 8;
    if (!record->canvasDc) {
        // The canvas surface as its record keeps it: freed with the record.
        HDC screen = GetDC(NULL);
        record->canvasDc = CreateCompatibleDC(screen);
        record->canvasOldBitmap =
            SelectObject(record->canvasDc, CreateCompatibleBitmap(screen, width, height));
        ReleaseDC(NULL, screen);
        record->canvasWidth = width;
        record->canvasHeight = height;
    }
    RECT picture = {0, 0, record->canvasWidth, record->canvasHeight};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(record->canvasDc, &picture, red);
    DeleteObject(red);

    HDC screen = GetDC(NULL);
    // Larger than the canvas control (120 x 24), so the pixel past its corner is there.
    HBITMAP targetBitmap = CreateCompatibleBitmap(screen, 256, 64);
    ReleaseDC(NULL, screen);
    HGDIOBJ old = SelectObject(dc_, targetBitmap);
    set_dialog_callback(dialog, dialog_callback);

    struct Case {
        const char* name;
        UINT id;
        UINT action;
        LONG_PTR dialogResult;
        INT_PTR expected;
        bool painted;
    };
    const Case cases[] = {
        {"canvas", 501, ODA_DRAWENTIRE, 0, 1, true},
        {"canvas, dialog says handled", 501, ODA_DRAWENTIRE, 7, 1, true},
        {"canvas, selection only", 501, ODA_SELECT, 0, 0, false},
        {"canvas, focus and whole", 501, ODA_FOCUS | ODA_DRAWENTIRE, 0, 1, true},
        {"not a canvas, dialog says handled", 502, ODA_DRAWENTIRE, 7, 0, false},
        {"no such control", 599, ODA_DRAWENTIRE, 7, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT all = {0, 0, 256, 64};
        FillRect(dc_, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        dialogRecorder.reset();
        dialogRecorder.result = c.dialogResult;
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_STATIC;
        item.CtlID = c.id;
        item.itemAction = c.action;
        item.hwndItem = GetDlgItem(dialog, c.id);
        item.hDC = dc_;
        item.rcItem = {20, 20, 40, 40};  // not used: the picture goes to the corner
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);

        EXPECT_EQ(dialog_proc(dialog, WM_DRAWITEM, c.id, (LPARAM)&item), c.expected);
        EXPECT_EQ(dialogRecorder.count(WM_DRAWITEM), 1);
        EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_MSGRESULT), 0);
        COLORREF inside = GetPixel(dc_, record->canvasWidth - 1, record->canvasHeight - 1);
        EXPECT_EQ(inside, c.painted ? RGB(255, 0, 0) : RGB(255, 255, 255));
        EXPECT_EQ(GetPixel(dc_, record->canvasWidth, record->canvasHeight), RGB(255, 255, 255));
    }
    SelectObject(dc_, old);
    DeleteObject(targetBitmap);
}

// System colours belong to the display, as the clipboard does: tests that set
// them hold the display lock, and put every colour back when they end. Each
// index gets a colour of its own, so that a rule that names the wrong index
// shows, even where the platform's own colours make two indices alike.
class SystemColoursTest : public DispatchTest {
protected:
    static const int COLOR_INDEX_COUNT = COLOR_MENUBAR + 1;

    void SetUp() override {
        DispatchTest::SetUp();
        if (HasFatalFailure()) return;
        COLORREF distinct[COLOR_INDEX_COUNT];
        for (int i = 0; i < COLOR_INDEX_COUNT; ++i) {
            indices_[i] = i;
            before_[i] = GetSysColor(i);
            distinct[i] = RGB(10 + 7 * i, 220 - 5 * i, 1 + 3 * i);
        }
        ASSERT_TRUE(SetSysColors(COLOR_INDEX_COUNT, indices_, distinct));
        set_ = true;
        for (int i = 0; i < COLOR_INDEX_COUNT; ++i) {
            ASSERT_EQ(GetSysColor(i), distinct[i]) << "system colour " << i << " was not set";
        }
    }
    void TearDown() override {
        if (set_) SetSysColors(COLOR_INDEX_COUNT, indices_, before_);
        DispatchTest::TearDown();
    }

private:
    INT indices_[COLOR_INDEX_COUNT];
    COLORREF before_[COLOR_INDEX_COUNT];
    bool set_ = false;
};

struct ColorCase {
    const char* name;
    UINT message;
    int32_t textColor;
    int32_t backColor;
    int textIndex;  // expected text: a system colour index, or one of the two below
    int backIndex;  // expected background and brush: a system colour index, or below
    bool transparent;
};
const int LITERAL = -100;    // the record's own colour (and brush)
const int UNCHANGED = -101;  // left as it was (for the background: null-brush or no answer)

const ColorCase colorCases[] = {
    {"message box, system colours", WM_CTLCOLORMSGBOX, -1, -1, COLOR_MENUTEXT, COLOR_MENU, false},
    {"edit, system colours", WM_CTLCOLOREDIT, -1, -1, COLOR_WINDOWTEXT, COLOR_WINDOW, false},
    {"list box, system colours", WM_CTLCOLORLISTBOX, -1, -1, COLOR_WINDOWTEXT, COLOR_WINDOW,
     false},
    {"button, system colours", WM_CTLCOLORBTN, -1, -1, COLOR_BTNTEXT, COLOR_BTNFACE, false},
    {"scroll bar, system colours", WM_CTLCOLORSCROLLBAR, -1, -1, COLOR_WINDOWTEXT,
     COLOR_SCROLLBAR, false},
    {"static, system colours", WM_CTLCOLORSTATIC, -1, -1, COLOR_WINDOWTEXT, COLOR_BTNFACE, false},
    {"text set, background untouched", WM_CTLCOLORSTATIC, RGB(0, 0, 255), -3, LITERAL, UNCHANGED,
     true},
    {"text set, background transparent", WM_CTLCOLORBTN, RGB(0, 255, 0), -2, LITERAL, UNCHANGED,
     true},
    {"system text, background transparent", WM_CTLCOLORSTATIC, -1, -2, COLOR_WINDOWTEXT,
     UNCHANGED, true},
    {"both set", WM_CTLCOLOREDIT, RGB(0x33, 0x22, 0x11), RGB(0x66, 0x55, 0x44), LITERAL, LITERAL,
     false},
    {"system text, own background", WM_CTLCOLORSTATIC, -1, RGB(0x66, 0x55, 0x44),
     COLOR_WINDOWTEXT, LITERAL, false},
    {"black on black", WM_CTLCOLORSTATIC, 0, 0, LITERAL, LITERAL, false},
};

TEST_F(SystemColoursTest, ColoursFollowTheRecordAndTheSystemColourTable) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 601, nullptr, "label");
    WindowRecord* record = find_record(label);
    ASSERT_NE(record, nullptr);
    for (const ColorCase& c : colorCases) {
        SCOPED_TRACE(c.name);
        record->textColor = c.textColor;
        record->backColor = c.backColor;
        if (record->backBrush) DeleteObject(record->backBrush);
        record->backBrush = c.backColor >= 0 ? CreateSolidBrush(c.backColor) : 0;
        reset_dc();
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);

        INT_PTR brush = dialog_proc(dialog, c.message, (WPARAM)dc_, (LPARAM)label);

        COLORREF text = c.textIndex == LITERAL ? (COLORREF)c.textColor : GetSysColor(c.textIndex);
        EXPECT_EQ(GetTextColor(dc_), text);
        if (c.backIndex == LITERAL) {
            EXPECT_EQ(brush, (INT_PTR)record->backBrush);
            EXPECT_EQ(GetBkColor(dc_), (COLORREF)c.backColor);
        } else if (c.backIndex == UNCHANGED) {
            EXPECT_EQ(brush, (INT_PTR)GetStockObject(NULL_BRUSH));
            EXPECT_EQ(GetBkColor(dc_), RGB(4, 5, 6));
        } else {
            EXPECT_EQ(brush, (INT_PTR)GetSysColorBrush(c.backIndex));
            EXPECT_EQ(GetBkColor(dc_), GetSysColor(c.backIndex));
        }
        EXPECT_EQ(GetBkMode(dc_), c.transparent ? TRANSPARENT : OPAQUE);
        EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_MSGRESULT), 0);
    }
}

// What the dialog answered to each colour message while it was painted: the
// dialog's procedure, watched from outside, reads the device context as the
// answer left it.
struct PaintedColour {
    UINT message;
    HWND window;
    COLORREF text;
    COLORREF back;
    LRESULT brush;
};
std::vector<PaintedColour> paintedColours;
WNDPROC paintedDialogProcedure;

LRESULT CALLBACK watch_colour_answers(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(paintedDialogProcedure, dialog, message, wParam, lParam);
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        paintedColours.push_back(
            {message, (HWND)lParam, GetTextColor((HDC)wParam), GetBkColor((HDC)wParam), result});
    }
    return result;
}

// Each kind of control asks for its colours with the message the platform
// sends for it, and is painted in that message's system colours.
TEST_F(SystemColoursTest, EachKindOfControlIsPaintedInItsSystemColours) {
    struct KindCase {
        const char* name;
        int32_t kind;  // -1: the dialog itself
        UINT message;
        int textIndex;
        int backIndex;
    };
    const KindCase cases[] = {
        {"push button", PushButton, WM_CTLCOLORBTN, COLOR_BTNTEXT, COLOR_BTNFACE},
        {"check box", CheckBox, WM_CTLCOLORSTATIC, COLOR_WINDOWTEXT, COLOR_BTNFACE},
        {"radio button", RadioButton, WM_CTLCOLORSTATIC, COLOR_WINDOWTEXT, COLOR_BTNFACE},
        {"group frame", GroupFrame, WM_CTLCOLORSTATIC, COLOR_WINDOWTEXT, COLOR_BTNFACE},
        {"label", Label, WM_CTLCOLORSTATIC, COLOR_WINDOWTEXT, COLOR_BTNFACE},
        {"text box", TextBox, WM_CTLCOLOREDIT, COLOR_WINDOWTEXT, COLOR_WINDOW},
        {"list box", ListBox, WM_CTLCOLORLISTBOX, COLOR_WINDOWTEXT, COLOR_WINDOW},
        {"scroll bar", ScrollBar, WM_CTLCOLORSCROLLBAR, COLOR_WINDOWTEXT, COLOR_SCROLLBAR},
        {"the dialog", -1, WM_CTLCOLORDLG, COLOR_WINDOWTEXT, COLOR_BTNFACE},
    };
    HWND dialog = make_dialog();
    std::vector<HWND> windows;
    int place = 0;
    for (const KindCase& c : cases) {
        HWND window = dialog;
        if (c.kind >= 0) {
            window = add_control(c.kind, nullptr, dialog, 900 + place, c.name, nullptr,
                                 10 + 145 * (place % 2), 10 + 45 * (place / 2), 135, 40, 0, 0,
                                 nullptr);
            ++place;
        }
        ASSERT_NE(window, (HWND)0) << c.name;
        // A scroll bar with a range, so that it paints its track.
        if (c.kind == ScrollBar) SetScrollRange(window, SB_CTL, 0, 10, FALSE);
        ASSERT_NE(set_record_value(window, FIELD_TEXT_COLOR, COLOR_SYSTEM), nullptr) << c.name;
        ASSERT_NE(set_record_value(window, FIELD_BACK_COLOR, COLOR_SYSTEM), nullptr) << c.name;
        windows.push_back(window);
    }
    paintedColours.clear();
    paintedDialogProcedure =
        (WNDPROC)SetWindowLongPtrA(dialog, GWLP_WNDPROC, (LONG_PTR)watch_colour_answers);
    ASSERT_NE(paintedDialogProcedure, nullptr);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, (LONG_PTR)paintedDialogProcedure);

    for (size_t i = 0; i < windows.size(); ++i) {
        const KindCase& c = cases[i];
        SCOPED_TRACE(c.name);
        int answers = 0;
        for (const PaintedColour& p : paintedColours) {
            if (p.window != windows[i]) continue;
            ++answers;
            EXPECT_EQ(p.message, c.message);
            EXPECT_EQ(p.text, GetSysColor(c.textIndex));
            EXPECT_EQ(p.back, GetSysColor(c.backIndex));
            EXPECT_EQ(p.brush, (LRESULT)GetSysColorBrush(c.backIndex));
        }
        EXPECT_GT(answers, 0) << "never asked for its colours while painted";
    }
}

TEST_F(DispatchTest, UntouchedTextColourLeavesTheColouringToThePlatform) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 601, nullptr, "label");
    WindowRecord* record = find_record(label);
    ASSERT_NE(record, nullptr);
    const int32_t backColors[] = {-3, -2, -1, (int32_t)RGB(0, 255, 255)};
    for (int32_t back : backColors) {
        SCOPED_TRACE(back);
        record->textColor = COLOR_UNTOUCHED;
        record->backColor = back;
        reset_dc();
        EXPECT_EQ(dialog_proc(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc_, (LPARAM)label), 0);
        EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3));
        EXPECT_EQ(GetBkColor(dc_), RGB(4, 5, 6));
        EXPECT_EQ(GetBkMode(dc_), OPAQUE);
    }
}

TEST_F(DispatchTest, ThePlatformHandsTheBrushToTheControl) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 601, nullptr, "label");
    WindowRecord* record = find_record(label);
    ASSERT_NE(record, nullptr);
    record->textColor = RGB(200, 0, 0);
    record->backColor = RGB(0, 0, 200);
    record->backBrush = CreateSolidBrush(RGB(0, 0, 200));
    reset_dc();
    EXPECT_EQ(SendMessageA(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc_, (LPARAM)label),
              (LRESULT)record->backBrush);
    EXPECT_EQ(GetTextColor(dc_), RGB(200, 0, 0));

    // The dialog itself is coloured from its own record.
    WindowRecord* dialogRecord = find_record(dialog);
    ASSERT_NE(dialogRecord, nullptr);
    dialogRecord->textColor = COLOR_SYSTEM;
    dialogRecord->backColor = COLOR_SYSTEM;
    reset_dc();
    EXPECT_EQ(SendMessageA(dialog, WM_CTLCOLORDLG, (WPARAM)dc_, (LPARAM)dialog),
              (LRESULT)GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_BTNFACE));
}

TEST_F(DispatchTest, DroppedComboFollowsDropDownAndCloseUp) {
    HWND dialog = make_dialog();
    HWND combo = keep(add_control(ComboBox, nullptr, dialog, 701, "", nullptr, 10, 10, 120, 100,
                                  0, 0, nullptr));
    HWND button = make_control(PushButton, dialog, 702, nullptr, "b");

    // The platform's own notifications.
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(droppedCombo, combo);
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(droppedCombo, (HWND)0);

    // The codes count whatever control sends them.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(702, CBN_DROPDOWN), (LPARAM)button);
    EXPECT_EQ(droppedCombo, button);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(702, 9), (LPARAM)combo);
    EXPECT_EQ(droppedCombo, button);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(702, CBN_CLOSEUP), (LPARAM)combo);
    EXPECT_EQ(droppedCombo, (HWND)0);
}

// The parts of a combo box have no records of their own: the colour messages
// about them are answered from the combo box's record. A dropped list, which
// the platform reports with no owner, is found through the dropped combo box,
// and so is any list without parent or owner while a combo box is dropped.
enum ComboPart { COMBO_EDIT, DROPPED_LIST, UNOWNED_LIST };

struct ComboColourCase {
    const char* what;
    ComboPart part;
    UINT message;
    COLORREF textColor;
    int32_t backColor;  // COLOR_SYSTEM or COLOR_TRANSPARENT
};

const ComboColourCase COMBO_COLOUR_CASES[] = {
    {"the edit box, as an edit", COMBO_EDIT, WM_CTLCOLOREDIT, RGB(0, 0, 255), COLOR_SYSTEM},
    {"the edit box, as a list", COMBO_EDIT, WM_CTLCOLORLISTBOX, RGB(0, 0, 255), COLOR_SYSTEM},
    {"the dropped list", DROPPED_LIST, WM_CTLCOLORLISTBOX, RGB(0, 128, 0), COLOR_SYSTEM},
    {"a list without parent or owner while the combo box is dropped", UNOWNED_LIST,
     WM_CTLCOLORLISTBOX, RGB(255, 0, 0), COLOR_TRANSPARENT},
};

TEST_F(DispatchTest, PartsOfAComboBoxAreColouredFromItsRecord) {
    for (const ComboColourCase& c : COMBO_COLOUR_CASES) {
        SCOPED_TRACE(c.what);
        HWND dialog = make_dialog();
        const char* items[] = {"one", "two", nullptr};
        HWND combo = keep(add_control(ComboBox, nullptr, dialog, 701, "", items, 10, 10, 120, 100,
                                      0, 0, nullptr));
        ASSERT_NE(combo, (HWND)0);
        WindowRecord* record = find_record(combo);
        ASSERT_NE(record, nullptr);
        record->textColor = c.textColor;
        record->backColor = c.backColor;

        HWND part = 0;
        if (c.part == COMBO_EDIT) {
            part = FindWindowExA(combo, NULL, "Edit", NULL);
            ASSERT_NE(part, (HWND)0);
            ASSERT_EQ(find_record(part), nullptr);
        } else if (c.part == DROPPED_LIST) {
            COMBOBOXINFO info = {};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(combo, &info));
            part = info.hwndList;
            ShowWindow(dialog, SW_SHOW);
            SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
            EXPECT_EQ(droppedCombo, combo);
        } else {
            // A top-level window with neither parent nor owner, like a dropped list.
            part = keep(CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 50, 50, 0, 0, 0, 0));
            ASSERT_NE(part, (HWND)0);
            ASSERT_EQ(GetWindowLongPtrA(part, GWLP_HWNDPARENT), 0);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(701, CBN_DROPDOWN), (LPARAM)combo);
        }

        reset_dc();
        INT_PTR answer = dialog_proc(dialog, c.message, (WPARAM)dc_, (LPARAM)part);
        EXPECT_EQ(GetTextColor(dc_), c.textColor);
        if (c.backColor == COLOR_SYSTEM) {
            EXPECT_EQ(answer, (INT_PTR)GetSysColorBrush(COLOR_WINDOW));
            if (c.part == COMBO_EDIT) {
                EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_WINDOW));
            }
        } else {
            EXPECT_EQ(answer, (INT_PTR)GetStockObject(NULL_BRUSH));
            EXPECT_EQ(GetBkMode(dc_), TRANSPARENT);
        }
        if (c.part == DROPPED_LIST) SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    }
}

// What is not about a combo box's part is not answered: another colour message
// from the edit box, the child of a window that is not a combo box, and a list
// without parent or owner while no combo box is dropped.
TEST_F(DispatchTest, ColourMessagesAboutOtherWindowsWithoutRecordsAreNotAnswered) {
    HWND dialog = make_dialog();
    const char* items[] = {"one", "two", nullptr};
    HWND combo = keep(add_control(ComboBox, nullptr, dialog, 701, "", items, 10, 10, 120, 100, 0,
                                  0, nullptr));
    ASSERT_NE(combo, (HWND)0);
    WindowRecord* record = find_record(combo);
    ASSERT_NE(record, nullptr);
    record->textColor = RGB(0, 0, 255);
    record->backColor = COLOR_SYSTEM;
    HWND edit = FindWindowExA(combo, NULL, "Edit", NULL);
    ASSERT_NE(edit, (HWND)0);
    reset_dc();
    EXPECT_EQ(dialog_proc(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc_, (LPARAM)edit), 0);
    EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3));

    HWND label = make_control(Label, dialog, 702, nullptr, "x");
    HWND child = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, label, 0, 0, 0);
    ASSERT_NE(child, (HWND)0);
    EXPECT_EQ(dialog_proc(dialog, WM_CTLCOLOREDIT, (WPARAM)dc_, (LPARAM)child), 0);

    HWND list = keep(CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 50, 50, 0, 0, 0, 0));
    ASSERT_NE(list, (HWND)0);
    ASSERT_EQ(GetWindowLongPtrA(list, GWLP_HWNDPARENT), 0);
    reset_dc();
    EXPECT_EQ(dialog_proc(dialog, WM_CTLCOLORLISTBOX, (WPARAM)dc_, (LPARAM)list), 0);
    EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3));
}

// Record memory given back to the platform, as the windows whose records it
// held, in the order it went.
std::vector<std::pair<void*, HWND>> recordBlocks;  // filled before the destruction
std::vector<HWND> recordsFreed;
void(WINAPI* platformSysFreeString)(WCHAR*);
void WINAPI watch_record_free(WCHAR* block) {
    for (const auto& known : recordBlocks) {
        if (known.first == (void*)block) recordsFreed.push_back(known.second);
    }
    platformSysFreeString(block);
}

// The windows whose records the DialogCallback checks at the dialog's last message.
std::vector<HWND> recordsExpected;
int recordsSeenAtLastMessage;
void count_records_at_last_message(const Call& call) {
    if (call.message != WM_NCDESTROY) return;
    for (HWND w : recordsExpected) recordsSeenAtLastMessage += find_record(w) != nullptr;
}

// A child window of parent with a watched control record, as add_control
// would make inside another control.
HWND sub_control(HWND parent, int id) {
    HWND inner = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, parent, (HMENU)(INT_PTR)id,
                                 GetModuleHandleA(NULL), NULL);
    EXPECT_NE(inner, (HWND)0);
    EXPECT_NE(create_record(inner, parent, RECORD_CONTROL | RECORD_PIXELS, Label), nullptr);
    EXPECT_TRUE(watch_control(inner));
    return inner;
}

// When the platform destroys a dialog, its DialogCallback sees every record of
// it at the last message; right after, they go together: the controls newest
// first, each after the controls inside it, the dialog's own last.
TEST_F(DispatchTest, RecordsGoTogetherAtTheDialogsLastMessageNewestFirst) {
    struct Case {
        const char* name;
        void (*destroy)(HWND dialog);
    };
    const Case cases[] = {
        {"DestroyWindow", [](HWND dialog) { DestroyWindow(dialog); }},
        {"end_dialog", [](HWND dialog) { end_dialog(dialog, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        HWND first = make_control(PushButton, dialog, 801, control_callback, "a");
        HWND second = make_control(TextBox, dialog, 802, control_callback, "b");
        HWND inner = sub_control(first, 803);
        HWND third = make_control(Label, dialog, 804, control_callback, "c");
        set_dialog_callback(dialog, dialog_callback);
        recordsExpected = {dialog, first, second, inner, third};
        recordBlocks.clear();
        for (HWND w : recordsExpected) recordBlocks.push_back({find_record(w), w});
        recordsFreed.clear();
        recordsSeenAtLastMessage = 0;
        dialogRecorder.action = count_records_at_last_message;
        {
            ScopedImportPatch patch("oleaut32.dll", "SysFreeString", (void*)watch_record_free);
            ASSERT_NE(patch.original, nullptr);
            platformSysFreeString = (void(WINAPI*)(WCHAR*))patch.original;
            c.destroy(dialog);
        }

        ASSERT_FALSE(dialogRecorder.calls.empty());
        EXPECT_EQ(dialogRecorder.calls.back().message, (UINT)WM_NCDESTROY);
        EXPECT_EQ(recordsSeenAtLastMessage, 5) << "records gone before the dialog's last message";
        const std::vector<HWND> expectedOrder = {third, second, inner, first, dialog};
        EXPECT_EQ(recordsFreed, expectedOrder);
        for (HWND w : recordsExpected) EXPECT_EQ(find_record(w), nullptr);
    }
}

// The flags of the dialog's record as its DialogCallback reads them, message
// by message.
std::vector<std::pair<UINT, uint32_t>> flagsRead;
void read_dialog_flags(const Call& call) {
    WindowRecord* record = find_record(call.dialog);
    if (record) flagsRead.push_back({call.message, record->flags});
}

// A DialogCallback that reads its record's flags during the dialog's last two
// messages finds the bits they held before, and no other: that the dialog is
// being destroyed is kept outside its flags.
TEST_F(DispatchTest, FlagsHoldTheirBitsThroughTheDialogsLastTwoMessages) {
    struct Case {
        const char* name;
        uint32_t added;  // set by hand before the destruction
        void (*destroy)(HWND dialog);
    };
    const Case cases[] = {
        {"DestroyWindow", 0, [](HWND dialog) { DestroyWindow(dialog); }},
        {"end_dialog of a shown dialog", RECORD_SHOWN, [](HWND dialog) { end_dialog(dialog, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        make_control(PushButton, dialog, 801, control_callback, "a");
        WindowRecord* record = find_record(dialog);
        ASSERT_NE(record, nullptr);
        record->flags |= c.added;
        const uint32_t before = record->flags;
        EXPECT_EQ(before, RECORD_DIALOG | RECORD_PIXELS | c.added);
        set_dialog_callback(dialog, dialog_callback);
        flagsRead.clear();
        dialogRecorder.action = read_dialog_flags;

        c.destroy(dialog);

        int lastTwo = 0;
        for (const auto& read : flagsRead) {
            if (read.first != WM_DESTROY && read.first != WM_NCDESTROY) continue;
            ++lastTwo;
            EXPECT_EQ(read.second, before) << "message " << std::hex << read.first;
        }
        EXPECT_EQ(lastTwo, 2) << "WM_DESTROY and WM_NCDESTROY each read once";
    }
}

// A control whose record cannot be made still exists and still gets its
// items, but its events reach no control callback: they go on to the
// dialog's, as events of a window without a record.
TEST_F(DispatchTest, AControlWithoutARecordGetsItsItemsButNoCallback) {
    HWND dialog = make_dialog();
    set_dialog_callback(dialog, dialog_callback);
    const char* items[] = {"one", "two", nullptr};
    struct Case {
        const char* name;
        int32_t kind;
        UINT countMessage;  // 0: the kind takes no items
        UINT event;
        WORD code;
    };
    const Case cases[] = {
        {"list box", ListBox, LB_GETCOUNT, WM_COMMAND, LBN_SELCHANGE},
        {"combo box", ComboBox, CB_GETCOUNT, WM_COMMAND, CBN_SELCHANGE},
        {"push button", PushButton, 0, WM_COMMAND, BN_CLICKED},
        {"scroll bar", ScrollBar, 0, WM_HSCROLL, SB_LINEDOWN},
    };
    int32_t id = 950;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++id;
        WindowRecord* head = windowRegistry.registryHead;
        HWND control;
        {
            RecordMemoryRefused refused;
            control = add_control(c.kind, nullptr, dialog, id, "x", items, 10, 10, 120, 80, 0, 0,
                                  control_callback);
        }
        ASSERT_NE(control, (HWND)0);
        EXPECT_EQ(find_record(control), nullptr);
        EXPECT_EQ(windowRegistry.registryHead, head);
        EXPECT_EQ(GetDlgItem(dialog, id), control);
        if (c.countMessage) {
            EXPECT_EQ(SendMessageA(control, c.countMessage, 0, 0), 2);
        }
        controlRecorder.reset();
        dialogRecorder.reset();
        WPARAM wParam = c.event == WM_COMMAND ? MAKEWPARAM(id, c.code) : c.code;
        SendMessageA(dialog, c.event, wParam, (LPARAM)control);
        EXPECT_TRUE(controlRecorder.calls.empty());
        EXPECT_EQ(dialogRecorder.count(c.event), 1);
    }
}

// A control destroyed before its dialog takes its record, and what the record
// owns, with it, however it was made; its dialog and the other controls keep
// theirs. No later window that gets the same handle can then inherit the
// control's callback or colours.
TEST_F(DispatchTest, AControlDestroyedBeforeItsDialogTakesItsRecordWithIt) {
    register_test_class("VornelleDispatchCustom");
    struct Case {
        const char* name;
        int32_t kind;
        const char* className;
        uint32_t style;
        uint32_t extendedStyle;
    };
    const Case cases[] = {
        {"push button", PushButton, nullptr, 0, 0},
        {"text box that tells its parent nothing", TextBox, nullptr, 0, WS_EX_NOPARENTNOTIFY},
        {"canvas", Canvas, nullptr, 0, 0},
        {"custom class", CustomClass, "VornelleDispatchCustom", WS_CHILD | WS_VISIBLE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND dialog = make_dialog();
        set_dialog_callback(dialog, dialog_callback);
        HWND sibling = make_control(Label, dialog, 900, control_callback, "sibling");
        HWND control = add_control(c.kind, c.className, dialog, 901, "x", nullptr, 10, 40, 120,
                                   24, c.style, c.extendedStyle, control_callback);
        ASSERT_NE(control, (HWND)0);
        WindowRecord* record = find_record(control);
        ASSERT_NE(record, nullptr);
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        record->textColor = RGB(4, 5, 6);
        record->backColor = RGB(1, 2, 3);
        record->backBrush = brush;
        HDC surface = record->canvasDc;
        EXPECT_EQ(surface != 0, c.kind == Canvas);

        HWND inner = sub_control(control, 902);

        ASSERT_TRUE(DestroyWindow(control));

        EXPECT_EQ(find_record(control), nullptr);
        EXPECT_EQ(find_record(inner), nullptr);
        EXPECT_EQ(GetObjectType(brush), 0u);
        if (surface) {
            EXPECT_EQ(GetObjectType(surface), 0u);
        }
        EXPECT_NE(find_record(dialog), nullptr);
        WindowRecord* kept = find_record(sibling);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->callback, control_callback);
    }
}

// The window-long query as the toolkit makes it (GetWindowLongPtrA, which the
// 32-bit headers spell GetWindowLongA), answering in a ring for the holders
// of three windows: the control is held by the first of the other two, and
// those two hold each other. The platform keeps its own chain free of rings;
// only a query that answers wrongly can make one.
#if defined(_WIN64)
const char WINDOW_LONG_IMPORT[] = "GetWindowLongPtrA";
#else
const char WINDOW_LONG_IMPORT[] = "GetWindowLongA";
#endif
LONG_PTR(WINAPI* platformWindowLong)(HWND, int);
HWND ringControl, ringFirst, ringSecond;
int holderQueries;
LONG_PTR WINAPI ringed_window_long(HWND window, int index) {
    if (index == GWLP_HWNDPARENT) {
        HWND holder = window == ringControl  ? ringFirst
                      : window == ringFirst  ? ringSecond
                      : window == ringSecond ? ringFirst
                                             : 0;
        if (holder) {
            ++holderQueries;
            return (LONG_PTR)holder;
        }
    }
    return platformWindowLong(window, index);
}

// The walk up a control's holders, looking for a dialog being destroyed, takes
// a bounded number of steps: a ring in the platform's answers ends it, and the
// control's record then goes with its window as it would outside any dialog.
TEST_F(DispatchTest, TheWalkUpAControlsHoldersEndsOnARing) {
    ringFirst = make_dialog();
    ringSecond = make_dialog();
    holderQueries = 0;
    bool destroyed = false;
    {
        ScopedImportPatch patch("user32.dll", WINDOW_LONG_IMPORT, (void*)ringed_window_long);
        ASSERT_NE(patch.original, nullptr);
        platformWindowLong = (LONG_PTR(WINAPI*)(HWND, int))patch.original;
        // A window is destroyed by the thread that made it, and a child's
        // parent hears of it first: both are made on the thread that is given
        // a time limit.
        bool ended = finishes_within(5000, [&] {
            HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, 0, 0,
                                          GetModuleHandleA(NULL), NULL);
            ringControl = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, parent, 0,
                                          GetModuleHandleA(NULL), NULL);
            if (ringControl &&
                create_record(ringControl, parent, RECORD_CONTROL | RECORD_PIXELS, Label)) {
                watch_control(ringControl);
                destroyed = DestroyWindow(ringControl) != FALSE;
            }
            DestroyWindow(parent);
        });
        EXPECT_TRUE(ended) << "the walk never ended (" << holderQueries << " steps)";
        if (!ended) windowRegistry.registryLock = 0;
    }
    EXPECT_TRUE(destroyed);
    EXPECT_GT(holderQueries, 2) << "the walk did not follow the ring";
    EXPECT_LE(holderQueries, CONTROL_HOLDER_STEPS_MAX);
    EXPECT_EQ(find_record(ringControl), nullptr) << "the record outlived its window";
    if (find_record(ringControl)) destroy_record(ringControl);
}

// The records go at WM_NCDESTROY whatever the DialogCallback answers it: the
// dialog's own, and those of its controls that are still there (here one
// registered by hand, which no control procedure watches).
TEST_F(DispatchTest, RecordsGoAtTheLastMessageWhateverTheDialogCallbackAnswers) {
    const LONG_PTR answers[] = {0, 1, -1, 0x7777};
    for (LONG_PTR answer : answers) {
        SCOPED_TRACE(answer);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        HWND button = make_control(PushButton, dialog, 801, control_callback, "a");
        HWND plain = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, dialog, (HMENU)802,
                                     GetModuleHandleA(NULL), NULL);
        ASSERT_NE(plain, (HWND)0);
        ASSERT_NE(create_record(plain, dialog, RECORD_CONTROL | RECORD_PIXELS, Label), nullptr);
        set_dialog_callback(dialog, dialog_callback);
        dialogRecorder.result = answer;
        dialogRecorder.onlyMessage = WM_NCDESTROY;

        DestroyWindow(dialog);

        ASSERT_FALSE(dialogRecorder.calls.empty());
        EXPECT_EQ(dialogRecorder.calls.back().message, (UINT)WM_NCDESTROY);
        EXPECT_EQ(find_record(dialog), nullptr);
        EXPECT_EQ(find_record(button), nullptr);
        EXPECT_EQ(find_record(plain), nullptr);
    }
}

// A DialogCallback's non-zero answer to a control-colour message wins over the
// colour step: it is the result, it goes to the message-result slot, and the
// record's colours are not applied.
TEST_F(DispatchTest, DialogCallbacksAnswerToAColourMessageWinsOverTheColours) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 601, nullptr, "label");
    for (HWND window : {dialog, label}) {
        WindowRecord* record = find_record(window);
        ASSERT_NE(record, nullptr);
        record->textColor = RGB(200, 0, 0);
        record->backColor = COLOR_SYSTEM;
    }
    set_dialog_callback(dialog, dialog_callback);
    dialogRecorder.result = 0x1234;
    for (UINT message = WM_CTLCOLORMSGBOX; message <= WM_CTLCOLORSTATIC; ++message) {
        SCOPED_TRACE(message);
        HWND colored = message == WM_CTLCOLORDLG ? dialog : label;
        reset_dc();
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        EXPECT_EQ(dialog_proc(dialog, message, (WPARAM)dc_, (LPARAM)colored), 0x1234);
        EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_MSGRESULT), 0x1234);
        EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3));
        EXPECT_EQ(GetBkColor(dc_), RGB(4, 5, 6));
    }
    EXPECT_EQ(dialogRecorder.calls.size(), 7u);
}

// Without the dialog's record there is no colour step and no canvas painting:
// every control-colour message and WM_DRAWITEM is answered 0, even for
// controls whose own records hold colours or a picture.
TEST_F(DispatchTest, WithoutTheDialogsRecordColourAndDrawMessagesAreAnswered0) {
    HWND dialog = make_dialog();
    HWND label = make_control(Label, dialog, 601, nullptr, "label");
    HWND canvas = make_control(Canvas, dialog, 602, nullptr);
    ASSERT_TRUE(destroy_record(dialog));  // the dialog's record and its controls'
    // The controls' records again, on their own, with colours and a red picture.
    WindowRecord* labelRecord = create_record(label, 0, RECORD_CONTROL | RECORD_PIXELS, Label);
    WindowRecord* canvasRecord = create_record(canvas, 0, RECORD_CONTROL | RECORD_PIXELS, Canvas);
    ASSERT_TRUE(labelRecord && canvasRecord);
    labelRecord->textColor = RGB(200, 0, 0);
    labelRecord->backColor = COLOR_SYSTEM;
    HDC screen = GetDC(NULL);
    canvasRecord->canvasDc = CreateCompatibleDC(screen);
    canvasRecord->canvasOldBitmap =
        SelectObject(canvasRecord->canvasDc, CreateCompatibleBitmap(screen, 16, 8));
    HBITMAP targetBitmap = CreateCompatibleBitmap(screen, 32, 16);
    ReleaseDC(NULL, screen);
    canvasRecord->canvasWidth = 16;
    canvasRecord->canvasHeight = 8;
    RECT picture = {0, 0, 16, 8};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(canvasRecord->canvasDc, &picture, red);
    DeleteObject(red);
    HGDIOBJ old = SelectObject(dc_, targetBitmap);

    for (UINT message = WM_CTLCOLORMSGBOX; message <= WM_CTLCOLORSTATIC; ++message) {
        SCOPED_TRACE(message);
        reset_dc();
        EXPECT_EQ(dialog_proc(dialog, message, (WPARAM)dc_, (LPARAM)label), 0);
        EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3));
    }
    RECT all = {0, 0, 32, 16};
    FillRect(dc_, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_STATIC;
    item.CtlID = 602;
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = canvas;
    item.hDC = dc_;
    EXPECT_EQ(dialog_proc(dialog, WM_DRAWITEM, 602, (LPARAM)&item), 0);
    EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(255, 255, 255));
    SelectObject(dc_, old);
    DeleteObject(targetBitmap);
}

// SC_CLOSE through the dispatch alone: the DialogCallback may keep the dialog.
TEST_F(DispatchTest, SystemCloseEndsTheDialogUnlessTheDialogCallbackHandlesIt) {
    struct Case {
        const char* name;
        WPARAM command;
        LONG_PTR dialogResult;
        bool closed;
    };
    const Case cases[] = {
        {"close", SC_CLOSE, 0, true},
        {"close, platform bits set", SC_CLOSE | 0x3, 0, true},
        {"close kept by the dialog", SC_CLOSE, 1, false},
        {"minimize", SC_MINIMIZE, 0, false},
        {"move", SC_MOVE | 0x2, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        set_dialog_callback(dialog, dialog_callback);
        dialogRecorder.result = c.dialogResult;
        dialogRecorder.onlyMessage = WM_SYSCOMMAND;
        int32_t endCode = 55;
        set_record_value(dialog, FIELD_RESULT_TARGET, (LONG_PTR)&endCode);

        SendMessageA(dialog, WM_SYSCOMMAND, c.command, 0);

        EXPECT_EQ(IsWindow(dialog) == FALSE, c.closed);
        EXPECT_EQ(endCode, c.closed ? 0 : 55);
        EXPECT_EQ(dialogRecorder.count(WM_CLOSE), c.closed ? 1 : 0);
        if (IsWindow(dialog)) DestroyWindow(dialog);
    }
}

TEST_F(DispatchTest, SystemCloseWorksForADialogWithoutRecord) {
    HWND dialog = make_dialog();
    ASSERT_TRUE(destroy_record(dialog));
    EXPECT_EQ(dialog_proc(dialog, WM_SYSCOMMAND, SC_CLOSE, 0), 1);
    EXPECT_FALSE(IsWindow(dialog));
}

// The user's ways of closing, through the modal loop.
TEST_F(DispatchTest, AltF4EndsTheModalDialogWithEndCodeZero) {
    HWND dialog = make_dialog();
    int32_t endCode = 31;
    // Alt held (context code bit 29), F4 scan code 0x3E.
    PostMessageA(dialog, WM_SYSKEYDOWN, VK_F4, (LPARAM)(0x20000001 | (0x3E << 16)));
    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(endCode, 0);
    ASSERT_EQ(dialogRecorder.count(WM_SYSCOMMAND), 1);
    for (const Call& call : dialogRecorder.calls) {
        if (call.message == WM_SYSCOMMAND) {
            EXPECT_EQ(call.wParam & 0xFFF0, (WPARAM)SC_CLOSE);
            RecordProperty("AltF4Command", std::to_string(call.wParam));
        }
    }
}

TEST_F(DispatchTest, SystemMenuCloseEndsTheModalDialog) {
    HWND dialog = make_dialog();
    int32_t endCode = 31;
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(run_modal(dialog, nullptr, &endCode));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(endCode, 0);
    EXPECT_EQ(find_record(dialog), nullptr);
}

HWND escapeDialog;
bool escapeDialogAlive;

void CALLBACK close_after_escape(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    escapeDialogAlive = IsWindow(escapeDialog) != FALSE;
    PostMessageA(escapeDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(DispatchTest, EscapeLeavesTheDialogOpen) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, control_callback, "Go");
    escapeDialog = dialog;
    escapeDialogAlive = false;
    focus_control(dialog, 102);
    PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, (LPARAM)(0x00010001));
    SetTimer(0, 0, 100, close_after_escape);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));

    EXPECT_TRUE(escapeDialogAlive);
    bool sawCancel = false;
    for (const Call& call : dialogRecorder.calls) {
        sawCancel |= call.message == WM_COMMAND && LOWORD(call.wParam) == IDCANCEL;
    }
    EXPECT_TRUE(sawCancel);
    EXPECT_TRUE(controlRecorder.calls.empty());
}

}  // namespace
