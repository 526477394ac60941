// Control creation: the class and style rules of every kind as a plain
// function, and add_control on real dialogs (placement in both coordinate
// modes, font, records, items, default button, refusals).
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "tests/support/control_row_check.h"
#include "tests/toolkit/creation_fixture.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/window_registry.h"

using namespace vornelle;
using vornelle_test::child_count;
using vornelle_test::class_of;
using vornelle_test::CreationTest;
using vornelle_test::rect_in;
using vornelle_test::register_test_class;
using vornelle_test::same_place;

// ---- Class and style rules -------------------------------------------------

struct ControlStyleCase {
    const char* name;
    int32_t kind;
    uint32_t style;
    uint32_t extendedStyle;
    int32_t width, height;  // pixels
    const char* expectedClass;
    uint32_t expectedStyle;
    uint32_t expectedExtendedStyle;
};

void PrintTo(const ControlStyleCase& c, std::ostream* out) { *out << c.name; }

class ControlStyleTable : public ::testing::TestWithParam<ControlStyleCase> {};

TEST_P(ControlStyleTable, ClassAndFinalStyles) {
    const ControlStyleCase& c = GetParam();
    ControlStyle s = control_style(c.kind, "Mine", c.style, c.extendedStyle, c.width, c.height);
    ASSERT_NE(s.className, nullptr);
    EXPECT_STREQ(s.className, c.expectedClass);
    EXPECT_EQ(s.style, c.expectedStyle) << std::hex << "0x" << s.style;
    EXPECT_EQ(s.extendedStyle, c.expectedExtendedStyle) << std::hex << "0x" << s.extendedStyle;
}

std::string case_name(const ::testing::TestParamInfo<ControlStyleCase>& info) {
    return info.param.name;
}

const uint32_t CLIENTEDGE = WS_EX_CLIENTEDGE;

// Style 0: each kind's default with its default-only adjustments.
INSTANTIATE_TEST_SUITE_P(
    Defaults, ControlStyleTable,
    ::testing::Values(
        ControlStyleCase{"PushButton", PushButton, 0, 0, 100, 20, "BUTTON", 0x50010000, 0},
        ControlStyleCase{"ThreeStateCheckBox", ThreeStateCheckBox, 0, 0, 100, 20, "BUTTON", 0x50010006, 0},
        ControlStyleCase{"CheckBox", CheckBox, 0, 0, 100, 20, "BUTTON", 0x50010003, 0},
        ControlStyleCase{"GroupFrame", GroupFrame, 0, 0, 100, 20, "BUTTON", 0x50000007, 0},
        ControlStyleCase{"Label", Label, 0, 0, 100, 20, "STATIC", 0x50000000, 0},
        ControlStyleCase{"EtchedFrame", EtchedFrame, 0, 0, 100, 20, "STATIC", 0x50000012, 0},
        ControlStyleCase{"RadioButton", RadioButton, 0, 0, 100, 20, "BUTTON", 0x50010009, 0},
        ControlStyleCase{"ScrollBar", ScrollBar, 0, 0, 100, 20, "SCROLLBAR", 0x50000000, 0},
        ControlStyleCase{"TextBox", TextBox, 0, 0, 100, 20, "EDIT", 0x50010080, CLIENTEDGE},
        ControlStyleCase{"Image", Image, 0, 0, 100, 20, "STATIC", 0x5000000E, 0},
        ControlStyleCase{"FittedImage", FittedImage, 0, 0, 100, 20, "STATIC", 0x5000000E, 0},
        ControlStyleCase{"ImageButton", ImageButton, 0, 0, 100, 20, "BUTTON", 0x50010080, 0},
        ControlStyleCase{"FittedImageButton", FittedImageButton, 0, 0, 100, 20, "BUTTON", 0x50010080, 0},
        ControlStyleCase{"Canvas", Canvas, 0, 0, 100, 20, "STATIC", 0x5000000D, 0},
        ControlStyleCase{"ComboBox", ComboBox, 0, 0, 100, 20, "COMBOBOX", 0x50010102, 0},
        ControlStyleCase{"ListBox", ListBox, 0, 0, 100, 20, "LISTBOX", 0x50210003, CLIENTEDGE},
        // The extended style given is kept, with the client edge added to it.
        ControlStyleCase{"TextBoxKeepsGivenExStyle", TextBox, 0, WS_EX_NOPARENTNOTIFY, 100, 20, "EDIT",
                  0x50010080, CLIENTEDGE | WS_EX_NOPARENTNOTIFY},
        ControlStyleCase{"ComboBoxExStyleUnchanged", ComboBox, 0, WS_EX_STATICEDGE, 100, 20, "COMBOBOX",
                  0x50010102, WS_EX_STATICEDGE}),
    case_name);

// Given styles replace the default whole; forced bits added, cleared removed.
INSTANTIATE_TEST_SUITE_P(
    Given, ControlStyleTable,
    ::testing::Values(
        ControlStyleCase{"WideLabel", Label, 0x50000000, 0, 460, 40, "STATIC", 0x50000000, 0},
        ControlStyleCase{"ReadOnlyTextBoxWithEdge", TextBox, 0x00810800, CLIENTEDGE, 460, 22, "EDIT", 0x50810800,
                  CLIENTEDGE},
        ControlStyleCase{"TextBoxGivenBorderNoEdgeAdded", TextBox, 0x00810800, 0, 460, 22, "EDIT",
                  0x50810800, 0},
        ControlStyleCase{"VisibleTabStopButton", PushButton, 0x50010000, 0, 220, 25, "BUTTON", 0x50010000, 0},
        ControlStyleCase{"DefaultPushButton", PushButton, BS_DEFPUSHBUTTON, 0, 220, 25, "BUTTON",
                  0x50000001, 0},
        ControlStyleCase{"CheckBoxTypeForced", CheckBox, 0x0000000F, 0, 100, 20, "BUTTON", 0x50000003, 0},
        ControlStyleCase{"CheckBoxLosesBorderAndPopup", CheckBox, WS_BORDER | WS_POPUP, 0, 100, 20,
                  "BUTTON", 0x50000003, 0},
        ControlStyleCase{"CheckBoxLosesIconAndBitmap", CheckBox, BS_ICON | BS_BITMAP | WS_TABSTOP, 0, 100,
                  20, "BUTTON", 0x50010003, 0},
        ControlStyleCase{"PushButtonKeepsBorderAndPopup", PushButton, WS_BORDER | WS_POPUP, 0, 100, 20,
                  "BUTTON", 0xD0800000, 0},
        ControlStyleCase{"GroupFrameLosesTabStopAndGroup", GroupFrame, WS_TABSTOP | WS_GROUP | BS_FLAT,
                  0, 100, 20, "BUTTON", 0x50000007, 0},
        ControlStyleCase{"RadioButtonKeepsGroup", RadioButton, WS_GROUP | BS_PUSHLIKE, 0, 100, 20,
                  "BUTTON", 0x50021009, 0},
        ControlStyleCase{"LabelCentred", Label, SS_CENTER, 0, 100, 20, "STATIC", 0x50000001, 0},
        ControlStyleCase{"ListBoxGivenBorderKeepsIt", ListBox, WS_BORDER, 0, 100, 20, "LISTBOX",
                  0x50800001, 0},
        ControlStyleCase{"ImageForcedBitmap", Image, SS_CENTERIMAGE, 0, 100, 20, "STATIC", 0x5000020E,
                  0}),
    case_name);

// ScrollBar orientation: only the default follows the shape.
INSTANTIATE_TEST_SUITE_P(
    ScrollBars, ControlStyleTable,
    ::testing::Values(
        ControlStyleCase{"TallIsVertical", ScrollBar, 0, 0, 10, 100, "SCROLLBAR", 0x50000001, 0},
        ControlStyleCase{"SquareIsHorizontal", ScrollBar, 0, 0, 100, 100, "SCROLLBAR", 0x50000000, 0},
        ControlStyleCase{"WideIsHorizontal", ScrollBar, 0, 0, 100, 10, "SCROLLBAR", 0x50000000, 0},
        ControlStyleCase{"SignedComparison", ScrollBar, 0, 0, -5, 3, "SCROLLBAR", 0x50000001, 0},
        ControlStyleCase{"GivenVerticalStaysOnWide", ScrollBar, SBS_VERT, 0, 100, 10, "SCROLLBAR",
                  0x50000001, 0},
        ControlStyleCase{"GivenHorizontalStaysOnTall", ScrollBar, SBS_TOPALIGN, 0, 10, 100, "SCROLLBAR",
                  0x50000002, 0}),
    case_name);

TEST(ControlStyle, ButtonTypeOfCheckAndRadioKindsIsAlwaysTheirOwn) {
    struct {
        int32_t kind;
        uint32_t type;
    } rows[] = {{ThreeStateCheckBox, BS_AUTO3STATE},
                {CheckBox, BS_AUTOCHECKBOX},
                {GroupFrame, BS_GROUPBOX},
                {RadioButton, BS_AUTORADIOBUTTON}};
    for (const auto& row : rows) {
        for (uint32_t given = 1; given <= 0x0F; ++given) {
            ControlStyle s = control_style(row.kind, "", given, 0, 10, 10);
            EXPECT_EQ(s.style & 0x0F, row.type) << "kind " << row.kind << " given " << given;
            EXPECT_EQ(s.style & 0x50000000u, 0x50000000u);
        }
    }
}

TEST(ControlStyle, EveryKindIsAVisibleChild) {
    const uint32_t given[] = {0, 1, WS_POPUP, 0xFFFFFFFF & ~(uint32_t)(WS_CHILD | WS_VISIBLE)};
    for (int32_t kind = PushButton; kind <= ListBox; ++kind) {
        for (uint32_t style : given) {
            ControlStyle s = control_style(kind, "", style, 0, 10, 10);
            EXPECT_EQ(s.style & (WS_CHILD | WS_VISIBLE), (uint32_t)(WS_CHILD | WS_VISIBLE))
                << "kind " << kind << " style " << style;
        }
    }
}

TEST(ControlStyle, CustomClassKeepsTheCallersClassAndStyles) {
    ControlStyle s = control_style(CustomClass, "MyClass", 0x12345678, 0x9, 10, 100);
    EXPECT_STREQ(s.className, "MyClass");
    EXPECT_EQ(s.style, 0x12345678u);
    EXPECT_EQ(s.extendedStyle, 0x9u);
    s = control_style(CustomClass, "MyClass", 0, 0, 10, 100);
    EXPECT_EQ(s.style, 0u);  // no default, nothing forced
}

TEST(ControlStyle, KindsOutsideTheTableHaveNoClass) {
    EXPECT_EQ(control_style(17, "X", 0, 0, 1, 1).className, nullptr);
    EXPECT_EQ(control_style(-1, "X", 0, 0, 1, 1).className, nullptr);
}

// ---- add_control on real dialogs -------------------------------------------

namespace {

LONG_PTR button_handler(HWND, UINT, WPARAM, LPARAM) { return 0; }
LONG_PTR other_handler(HWND, UINT, WPARAM, LPARAM) { return 1; }

// Four controls of a pixel dialog: a label, a read-only text box, a button with
// a callback and a label that reaches 40 pixels beyond the dialog's right edge.
struct Placed {
    ControlRow row;  // add_control's arguments
    const char* expectedClass;
};
const Placed kPlacedControls[] = {
    {{111, Label, "", "text", nullptr, 10, 10, 460, 40, 0x50000000, 0, nullptr}, "Static"},
    {{101, TextBox, "", "text", nullptr, 10, 50, 460, 22, 0x00810800, WS_EX_CLIENTEDGE, nullptr},
     "Edit"},
    {{102, PushButton, "", "text", nullptr, 130, 80, 220, 25, 0x50010000, 0, button_handler},
     "Button"},
    {{211, Label, "", "text", nullptr, 300, 110, 220, 33, 0x50000000, 0, nullptr}, "Static"},
};

// A hidden pixel dialog of 480 x 165 client pixels with a system menu.
HWND pixel_dialog() {
    return new_dialog(DIALOG_PIXELS, NULL, "Controls", -1, -1, 480, 165,
                      WS_SYSMENU | WS_MINIMIZEBOX, 0);
}

}  // namespace

TEST_F(CreationTest, ControlsLandWhereAskedWithTheDialogsFont) {
    HWND dialog = keep(pixel_dialog());
    ASSERT_NE(dialog, nullptr);
    for (const Placed& p : kPlacedControls) {
        const ControlRow& r = p.row;
        HWND control = add_control(r.kind, r.className, dialog, r.id, r.text, r.items, r.x, r.y,
                                   r.width, r.height, r.style, r.extendedStyle, r.callback);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgItem(dialog, r.id), control);
        vornelle_test::expect_control_as_row(dialog, r, p.expectedClass);
    }
    EXPECT_EQ(child_count(dialog), 4);
    char text[16] = {};
    GetDlgItemTextA(dialog, 101, text, sizeof text);
    EXPECT_STREQ(text, "text");
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 101), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 101), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(IsWindowVisible(dialog));  // controls do not show the dialog
}

TEST_F(CreationTest, DefaultTextBoxAndListBoxGetTheClientEdge) {
    HWND dialog = keep(pixel_dialog());
    HWND text = add_control(TextBox, "", dialog, 1, "", nullptr, 0, 0, 50, 20, 0, 0, nullptr);
    HWND list = add_control(ListBox, "", dialog, 2, "", nullptr, 0, 30, 50, 50, 0, 0, nullptr);
    HWND combo = add_control(ComboBox, "", dialog, 3, "", nullptr, 0, 90, 50, 50, 0, 0, nullptr);
    ASSERT_TRUE(text && list && combo);
    EXPECT_TRUE(GetWindowLongA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(GetWindowLongA(combo, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(text, GWL_STYLE) & ES_AUTOHSCROLL);
}

TEST_F(CreationTest, UnitsModeMapsTheCornersOfTheRectangle) {
    HWND dialog = keep(new_dialog(0, NULL, "Units", -1, -1, 200, 100, 0, 0));
    ASSERT_NE(dialog, nullptr);
    // Odd units, so that rounding makes the mapped size of the rectangle
    // differ from the mapped width and height.
    const int32_t x = 1, y = 1, width = 1, height = 1;
    RECT corners = {x, y, x + width, y + height};
    MapDialogRect(dialog, &corners);
    RECT size = {0, 0, width, height};
    MapDialogRect(dialog, &size);
    EXPECT_TRUE(corners.right - corners.left != size.right ||
                corners.bottom - corners.top != size.bottom)
        << "these units do not tell the two ways apart";

    HWND control = add_control(Label, "", dialog, 7, "u", nullptr, x, y, width, height, 0, 0,
                               nullptr);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(same_place(rect_in(dialog, control), corners));
    EXPECT_EQ(find_record(control)->flags, (uint32_t)(RECORD_CONTROL | RECORD_UNITS));

    // A larger one, in the middle of the dialog.
    HWND big = add_control(PushButton, "", dialog, 8, "b", nullptr, 13, 27, 51, 15, 0, 0, nullptr);
    RECT expected = {13, 27, 64, 42};
    MapDialogRect(dialog, &expected);
    EXPECT_TRUE(same_place(rect_in(dialog, big), expected));
}

TEST_F(CreationTest, ScrollBarOrientationFollowsThePixelShapeInUnitsMode) {
    HWND dialog = keep(new_dialog(0, NULL, "Units", -1, -1, 200, 100, 0, 0));
    ASSERT_NE(dialog, nullptr);
    // A size whose units and pixels disagree about which side is longer.
    int32_t width = 0, height = 0;
    bool pixelsTaller = false;
    for (int32_t w = 1; w <= 60 && !width; ++w) {
        for (int32_t h = 1; h <= 60 && !width; ++h) {
            RECT probe = {0, 0, w, h};
            MapDialogRect(dialog, &probe);
            if ((w < h) != (probe.right < probe.bottom)) {
                width = w;
                height = h;
                pixelsTaller = probe.right < probe.bottom;
            }
        }
    }
    if (!width) GTEST_SKIP() << "this font's units keep the shape";
    HWND bar = add_control(ScrollBar, "", dialog, 9, "", nullptr, 0, 0, width, height, 0, 0,
                           nullptr);
    ASSERT_NE(bar, nullptr);
    bool vertical = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) != 0;
    EXPECT_EQ(vertical, pixelsTaller) << width << " x " << height << " units";
}

TEST_F(CreationTest, ItemsStopAtTheFirstEmptyString) {
    HWND dialog = keep(pixel_dialog());
    const char* const stopped[] = {"first", "", "third", nullptr};
    const char* const three[] = {"b", "a", "c", nullptr};
    const char* const none[] = {nullptr};
    const char* const leadingEmpty[] = {"", "x", nullptr};

    HWND list = add_control(ListBox, "", dialog, 1, "", stopped, 0, 0, 80, 60, 0, 0, nullptr);
    HWND combo = add_control(ComboBox, "", dialog, 2, "", three, 90, 0, 80, 60, 0, 0, nullptr);
    HWND emptyList = add_control(ListBox, "", dialog, 3, "", none, 0, 70, 80, 60, 0, 0, nullptr);
    HWND noItems = add_control(ListBox, "", dialog, 4, "", nullptr, 90, 70, 80, 60, 0, 0, nullptr);
    HWND leading = add_control(ComboBox, "", dialog, 5, "", leadingEmpty, 0, 140, 80, 60, 0, 0,
                               nullptr);
    ASSERT_TRUE(list && combo && emptyList && noItems && leading);

    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 1);
    char item[16] = {};
    SendMessageA(list, LB_GETTEXT, 0, (LPARAM)item);
    EXPECT_STREQ(item, "first");
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
    SendMessageA(combo, CB_GETLBTEXT, 0, (LPARAM)item);
    EXPECT_STREQ(item, "a");  // the default combo box sorts
    EXPECT_EQ(SendMessageA(emptyList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(noItems, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(leading, CB_GETCOUNT, 0, 0), 0);
}

namespace {

// Watches what reaches the dialog window itself.
WNDPROC spiedProc;
int defIdRequests;
WPARAM lastDefId;

LRESULT CALLBACK spy_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == DM_SETDEFID) {
        ++defIdRequests;
        lastDefId = wParam;
    }
    return CallWindowProcA(spiedProc, window, message, wParam, lParam);
}

void spy_on(HWND dialog) {
    defIdRequests = 0;
    lastDefId = 0;
    spiedProc = (WNDPROC)SetWindowLongPtrA(dialog, GWLP_WNDPROC, (LONG_PTR)spy_proc);
}

}  // namespace

TEST_F(CreationTest, ALoneDefPushButtonBecomesTheDefaultButton) {
    HWND dialog = keep(pixel_dialog());
    spy_on(dialog);
    HWND button = add_control(PushButton, "", dialog, 150, "OK", nullptr, 10, 10, 80, 25,
                              BS_DEFPUSHBUTTON, 0, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(defIdRequests, 1);
    EXPECT_EQ(lastDefId, 150u);
    LRESULT defId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
    EXPECT_EQ(LOWORD(defId), 150);
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & WS_TABSTOP, 0);
}

TEST_F(CreationTest, OnlyADefPushButtonAsksToBeTheDefault) {
    HWND dialog = keep(pixel_dialog());
    spy_on(dialog);
    // An ordinary push button, and a check box whose given style has bit 0 set.
    ASSERT_NE(add_control(PushButton, "", dialog, 160, "P", nullptr, 10, 10, 80, 25, 0, 0, nullptr),
              nullptr);
    ASSERT_NE(add_control(CheckBox, "", dialog, 161, "C", nullptr, 10, 40, 80, 25,
                          BS_DEFPUSHBUTTON, 0, nullptr),
              nullptr);
    EXPECT_EQ(defIdRequests, 0);
}

namespace {

// While it lives, a hook on this thread refuses the creation of every window.
LRESULT CALLBACK refuse_creation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) return 1;
    return CallNextHookEx(NULL, code, wParam, lParam);
}

struct WindowCreationRefused {
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse_creation, NULL, GetCurrentThreadId());
    ~WindowCreationRefused() {
        if (hook) UnhookWindowsHookEx(hook);
    }
};

}  // namespace

// A default button that the platform refuses to create asks for nothing:
// no DM_SETDEFID reaches the dialog, no record is made, and the result is
// null. The same call with creation allowed does make the default button.
TEST_F(CreationTest, ARefusedDefaultButtonSetsNoDefault) {
    struct Case {
        const char* name;
        int32_t kind;
        uint32_t style;
    };
    const Case cases[] = {
        {"push button", PushButton, BS_DEFPUSHBUTTON},
        {"push button with a tab stop", PushButton, WS_TABSTOP | BS_DEFPUSHBUTTON},
        {"image button", ImageButton, BS_DEFPUSHBUTTON},
        {"fitted image button", FittedImageButton, BS_DEFPUSHBUTTON},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND dialog = keep(pixel_dialog());
        spy_on(dialog);
        WindowRecord* head = windowRegistry.registryHead;
        HWND button;
        {
            WindowCreationRefused refused;
            ASSERT_NE(refused.hook, nullptr);
            button = add_control(c.kind, "", dialog, 170, "OK", nullptr, 10, 10, 80, 25, c.style,
                                 0, nullptr);
        }
        EXPECT_EQ(button, nullptr);
        EXPECT_EQ(defIdRequests, 0);
        EXPECT_NE(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), 170);
        EXPECT_EQ(windowRegistry.registryHead, head);
        EXPECT_EQ(child_count(dialog), 0);

        button = add_control(c.kind, "", dialog, 170, "OK", nullptr, 10, 10, 80, 25, c.style, 0,
                             nullptr);
        EXPECT_NE(button, nullptr);
        EXPECT_EQ(defIdRequests, 1);
        EXPECT_EQ(lastDefId, 170u);
    }
}

TEST_F(CreationTest, ImageKindsGetNoWindowText) {
    HWND dialog = keep(pixel_dialog());
    HWND image = add_control(Image, "", dialog, 20, "SOME_IMAGE", nullptr, 0, 0, 32, 32, 0, 0,
                             nullptr);
    HWND button = add_control(ImageButton, "", dialog, 21, "SOME_IMAGE", nullptr, 40, 0, 32, 32, 0,
                              0, nullptr);
    HWND label = add_control(Label, "", dialog, 22, "SOME_TEXT", nullptr, 80, 0, 80, 20, 0, 0,
                             nullptr);
    ASSERT_TRUE(image && button && label);
    EXPECT_EQ(GetWindowTextLengthA(image), 0);
    EXPECT_EQ(GetWindowTextLengthA(button), 0);
    EXPECT_EQ(GetWindowTextLengthA(label), 9);
    EXPECT_EQ(find_record(image)->kind, Image);
    EXPECT_EQ(find_record(button)->kind, ImageButton);
}

TEST_F(CreationTest, NullTextIsAnEmptyText) {
    HWND dialog = keep(pixel_dialog());
    HWND label = add_control(Label, "", dialog, 23, nullptr, nullptr, 0, 0, 80, 20, 0, 0, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GetWindowTextLengthA(label), 0);
}

TEST_F(CreationTest, EachControlKeepsItsOwnCallback) {
    HWND dialog = keep(pixel_dialog());
    HWND a = add_control(PushButton, "", dialog, 30, "A", nullptr, 0, 0, 50, 20, 0, 0,
                         button_handler);
    HWND b = add_control(PushButton, "", dialog, 31, "B", nullptr, 0, 30, 50, 20, 0, 0,
                         other_handler);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(find_record(a)->callback, button_handler);
    EXPECT_EQ(find_record(b)->callback, other_handler);
}

TEST_F(CreationTest, NothingIsMadeWithoutADialogRecordOrForAnUnknownKind) {
    HWND dialog = keep(pixel_dialog());
    ASSERT_NE(dialog, nullptr);
    // A window the toolkit did not make: it has no record.
    HWND stranger = keep(CreateWindowExA(0, "STATIC", "stranger", WS_POPUP, 0, 0, 100, 100, NULL,
                                         NULL, GetModuleHandleA(NULL), NULL));
    ASSERT_NE(stranger, nullptr);
    WindowRecord* before = windowRegistry.registryHead;

    struct {
        const char* name;
        int32_t kind;
        HWND target;
    } refused[] = {{"null dialog", Label, nullptr},
                   {"no record", Label, stranger},
                   {"kind 17", 17, dialog},
                   {"kind -1", -1, dialog},
                   {"kind far out", 0x7FFFFFFF, dialog}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(add_control(r.kind, "STATIC", r.target, 40, "x", nullptr, 0, 0, 10, 10, 0, 0,
                              nullptr),
                  nullptr);
    }
    EXPECT_EQ(child_count(dialog), 0);
    EXPECT_EQ(child_count(stranger), 0);
    EXPECT_EQ(windowRegistry.registryHead, before);
}

TEST_F(CreationTest, CustomClassUsesTheCallersClassAndStylesAsGiven) {
    HWND dialog = keep(pixel_dialog());
    const uint32_t style = WS_CHILD | WS_VISIBLE | WS_BORDER | 0x0042;
    HWND custom =
        add_control(CustomClass, register_test_class("VornelleCreationCustom"), dialog, 50, "c",
                    nullptr, 5, 6, 70, 30, style, WS_EX_STATICEDGE, other_handler);
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(class_of(custom), "VornelleCreationCustom");
    EXPECT_EQ((uint32_t)GetWindowLongA(custom, GWL_STYLE), style);
    EXPECT_TRUE(GetWindowLongA(custom, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    RECT rect = rect_in(dialog, custom);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(find_record(custom)->kind, CustomClass);
    EXPECT_EQ(find_record(custom)->callback, other_handler);
}

TEST_F(CreationTest, CustomClassThatDoesNotExistMakesNothing) {
    HWND dialog = keep(pixel_dialog());
    ASSERT_NE(dialog, nullptr);
    spy_on(dialog);
    WindowRecord* before = windowRegistry.registryHead;
    EXPECT_EQ(add_control(CustomClass, "VornelleNoSuchClass", dialog, 60, "", nullptr, 0, 0, 10,
                          10, WS_CHILD | BS_DEFPUSHBUTTON, 0, nullptr),
              nullptr);
    EXPECT_EQ(add_control(CustomClass, nullptr, dialog, 61, "", nullptr, 0, 0, 10, 10, WS_CHILD, 0,
                          nullptr),
              nullptr);
    EXPECT_EQ(child_count(dialog), 0);
    EXPECT_EQ(windowRegistry.registryHead, before);
    EXPECT_EQ(defIdRequests, 0);
}

namespace {

// A custom control that tells its dialog of itself while it is being made and
// while it takes its font, and remembers how the font was handed to it.
const int32_t TALKATIVE_ID = 70;
WPARAM fontGiven;
LPARAM redrawAsked;
int fontMessages;
LRESULT CALLBACK talkative_control(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE || message == WM_SETFONT) {
        SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(TALKATIVE_ID, message),
                     (LPARAM)window);
    }
    if (message == WM_SETFONT) {
        ++fontMessages;
        fontGiven = wParam;
        redrawAsked = lParam;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int controlEvents;
LONG_PTR count_control_event(HWND, UINT, WPARAM, LPARAM) {
    ++controlEvents;
    return 0;
}

}  // namespace

// The control has no record while it is made and while it takes its font, so
// what it sends its dialog then reaches no callback; afterwards its events do.
// The font comes with WM_SETFONT asking for a redraw.
TEST_F(CreationTest, EventsWhileAControlIsMadeReachNoCallback) {
    register_test_class("VornelleTalkativeControl", talkative_control);
    HWND dialog = keep(pixel_dialog());
    ASSERT_NE(dialog, nullptr);
    controlEvents = 0;
    fontMessages = 0;
    HWND control = add_control(CustomClass, "VornelleTalkativeControl", dialog, TALKATIVE_ID, "",
                               nullptr, 5, 5, 40, 20, WS_CHILD | WS_VISIBLE, 0,
                               count_control_event);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(fontMessages, 1);
    EXPECT_EQ(controlEvents, 0) << "an event sent during creation reached the callback";
    EXPECT_EQ((HFONT)fontGiven, find_record(dialog)->font);
    EXPECT_EQ(redrawAsked, 1);

    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(TALKATIVE_ID, BN_CLICKED), (LPARAM)control);
    EXPECT_EQ(controlEvents, 1);
}

// A dialog whose font is null hands its controls no font: they keep the
// system font.
TEST_F(CreationTest, ANullDialogFontLeavesTheSystemFont) {
    register_test_class("VornelleTalkativeControl", talkative_control);
    HWND dialog = keep(pixel_dialog());
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(set_record_value(dialog, FIELD_FONT, 0), nullptr);
    fontMessages = 0;
    fontGiven = 1;
    HWND custom = add_control(CustomClass, "VornelleTalkativeControl", dialog, TALKATIVE_ID, "",
                              nullptr, 5, 5, 40, 20, WS_CHILD | WS_VISIBLE, 0, nullptr);
    HWND label = add_control(Label, "", dialog, 71, "text", nullptr, 5, 30, 40, 20, 0, 0, nullptr);
    ASSERT_NE(custom, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(fontMessages, 1);
    EXPECT_EQ(fontGiven, 0u);
    EXPECT_EQ(redrawAsked, 1);
    EXPECT_EQ((HFONT)SendMessageA(label, WM_GETFONT, 0, 0), nullptr);
}
