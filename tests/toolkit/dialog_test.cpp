// Dialog creation: the template, style and placement rules as plain functions,
// and new_dialog on real windows (client size, centring, units mode, title,
// font and the dialog's record).
#include <gtest/gtest.h>
#include <windows.h>

#include <ctype.h>
#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/toolkit/creation_fixture.h"
#include "toolkit/dialog.h"
#include "toolkit/dialog_proc.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

using namespace vornelle;
using vornelle_test::client_size;
using vornelle_test::CreationTest;
using vornelle_test::same_place;
using vornelle_test::window_rect;

namespace {

uint32_t read16(const uint8_t* at) { return at[0] | (at[1] << 8); }
uint32_t read32(const uint8_t* at) { return read16(at) | (read16(at + 2) << 16); }

// A template buffer with a guard pattern, to see that nothing is written past
// the template's length.
struct TemplateBytes {
    uint8_t bytes[DIALOG_TEMPLATE_MAX + 16];
    TemplateBytes() { memset(bytes, 0xCC, sizeof bytes); }
    bool untouched_from(uint32_t offset) const {
        for (uint32_t i = offset; i < sizeof bytes; ++i) {
            if (bytes[i] != 0xCC) return false;
        }
        return true;
    }
};

// The units of a widened string starting at offset, up to its zero unit.
std::vector<uint32_t> units_at(const uint8_t* bytes, uint32_t offset) {
    std::vector<uint32_t> units;
    for (uint32_t at = offset; read16(bytes + at) != 0; at += 2) units.push_back(read16(bytes + at));
    return units;
}

std::vector<uint32_t> units_of(const std::string& text) {
    std::vector<uint32_t> units;
    for (unsigned char c : text) units.push_back(c);
    return units;
}

}  // namespace

// ---- The template --------------------------------------------------------

TEST(DialogTemplate, CentredPixelDialogTemplateByteForByte) {
    const char title[] = "A dialog   title";
    const uint32_t n = 16;
    uint32_t style = dialog_style(0x000A0000, -1, -1);
    ASSERT_EQ(style, 0x000A0854u);

    TemplateBytes t;
    uint32_t length =
        build_dialog_template(t.bytes, title, n, style, 0, -1, -1, 480, 165, "MS Sans Serif", 8);
    EXPECT_EQ(length, 54u + 2 * n);
    EXPECT_TRUE(t.untouched_from(length));

    const uint8_t* b = t.bytes;
    EXPECT_EQ(read32(b + 0), 0x000A0854u);
    EXPECT_EQ(read32(b + 4), 0u);
    EXPECT_EQ(read16(b + 8), 0u);       // no items
    EXPECT_EQ(read16(b + 10), 0xFFFFu);  // x
    EXPECT_EQ(read16(b + 12), 0xFFFFu);  // y
    EXPECT_EQ(read16(b + 14), 480u);
    EXPECT_EQ(read16(b + 16), 165u);
    EXPECT_EQ(read16(b + 18), 0u);  // menu
    EXPECT_EQ(read16(b + 20), 0u);  // class
    EXPECT_EQ(units_at(b, 22), units_of(title));
    EXPECT_EQ(read16(b + 22 + 2 * n), 0u);
    EXPECT_EQ(read16(b + 24 + 2 * n), 8u);
    EXPECT_EQ(units_at(b, 26 + 2 * n), units_of("MS Sans Serif"));
    EXPECT_EQ(read16(b + 26 + 2 * n + 26), 0u);
}

TEST(DialogTemplate, FieldsTakeTheLowSixteenBitsAndTheExtendedStyleUnchanged) {
    TemplateBytes t;
    build_dialog_template(t.bytes, "a", 1, 0x12345678, 0x8765ABCD, 0x12345, -2, 70000, -32768,
                          "F", 0x10009);
    EXPECT_EQ(read32(t.bytes + 0), 0x12345678u);
    EXPECT_EQ(read32(t.bytes + 4), 0x8765ABCDu);
    EXPECT_EQ(read16(t.bytes + 10), 0x2345u);
    EXPECT_EQ(read16(t.bytes + 12), 0xFFFEu);
    EXPECT_EQ(read16(t.bytes + 14), 70000u & 0xFFFF);
    EXPECT_EQ(read16(t.bytes + 16), 0x8000u);
    EXPECT_EQ(read16(t.bytes + 26), 9u);  // point size after a one-character title
}

TEST(DialogTemplate, BytesWidenToTheSameCodePoint) {
    const char title[] = "\xE9\x80\xFF\x7F";
    TemplateBytes t;
    build_dialog_template(t.bytes, title, 4, 0, 0, 0, 0, 10, 10, "F\xE9", 8);
    EXPECT_EQ(units_at(t.bytes, 22), (std::vector<uint32_t>{0x00E9, 0x0080, 0x00FF, 0x007F}));
    EXPECT_EQ(units_at(t.bytes, 22 + 2 * 4 + 4), (std::vector<uint32_t>{0x0046, 0x00E9}));
}

TEST(DialogTemplate, LongestTemplateFillsTheBufferExactly) {
    std::string title(256, 'T');
    std::string face(31, 'F');
    TemplateBytes t;
    uint32_t length = build_dialog_template(t.bytes, title.c_str(), 256, 0, 0, 0, 0, 1, 1,
                                            face.c_str(), 8);
    EXPECT_EQ(length, DIALOG_TEMPLATE_MAX);
    EXPECT_EQ(DIALOG_TEMPLATE_MAX, 602u);
    EXPECT_TRUE(t.untouched_from(length));
}

TEST(DialogTemplate, OverlongTitleAndFaceNeverOverrunTheBuffer) {
    std::string title(400, 'T');
    std::string face(40, 'F');  // a face without its NUL within 32 bytes
    TemplateBytes t;
    uint32_t length = build_dialog_template(t.bytes, title.c_str(), 400, 0, 0, 0, 0, 1, 1,
                                            face.c_str(), 8);
    EXPECT_EQ(length, DIALOG_TEMPLATE_MAX);
    EXPECT_TRUE(t.untouched_from(length));
}

// ---- Title, style and show command rules ---------------------------------

// The title dialog creation uses for a given one.
std::string used_title(const char* title) {
    uint32_t length = 0;
    const char* used = dialog_title(title, &length);
    return std::string(used, length);
}

TEST(DialogTitle, LongTitlesAreCutTo256AndEmptyOnesBecomeOneSpace) {
    std::string longTitle(300, 'x');
    longTitle[255] = 'L';
    EXPECT_EQ(used_title(longTitle.c_str()), longTitle.substr(0, 256));
    EXPECT_EQ(used_title(""), " ");
    EXPECT_EQ(used_title(nullptr), " ");
    EXPECT_EQ(used_title(std::string(256, 'e').c_str()), std::string(256, 'e'));
    EXPECT_EQ(used_title("A dialog   title"), "A dialog   title");
}

struct DialogStyleCase {
    uint32_t style;
    int32_t x, y;
    uint32_t expected;
};

void PrintTo(const DialogStyleCase& c, std::ostream* out) {
    *out << std::hex << "style 0x" << c.style << std::dec << " at " << c.x << "," << c.y;
}

class DialogStyleTable : public ::testing::TestWithParam<DialogStyleCase> {};

TEST_P(DialogStyleTable, TemplateStyle) {
    const DialogStyleCase& c = GetParam();
    EXPECT_EQ(dialog_style(c.style, c.x, c.y), c.expected)
        << std::hex << "style 0x" << c.style << " at " << std::dec << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DialogStyleTable,
    ::testing::Values(
        DialogStyleCase{0, -1, -1, 0x80C008D4},            // default, centred
        DialogStyleCase{0, 10, 20, 0x80C000D4},            // default, placed
        DialogStyleCase{0, -1, 100, 0x80C008D4},           // either coordinate centres
        DialogStyleCase{0, 100, -1, 0x80C008D4},
        DialogStyleCase{0, 32768, 32768, 0x80C000D4},
        DialogStyleCase{0x000A0000, -1, -1, 0x000A0854},   // system menu, minimise box
        DialogStyleCase{0x000A0000, 0, 0, 0x000A0054},
        DialogStyleCase{WS_VISIBLE | DS_SYSMODAL | WS_CAPTION, 5, 5, WS_CAPTION | 0x54},
        DialogStyleCase{0xFFFFFFFF, 5, 5, 0xFFFFFFFF & ~0x10000002u},
        DialogStyleCase{0xFFFFFFFF, -1, 5, 0xFFFFFFFF & ~0x10000002u}));

TEST(DialogShowCommand, MaximizeBeforeMinimizeElseShow) {
    EXPECT_EQ(dialog_show_command(0), SW_SHOW);
    EXPECT_EQ(dialog_show_command(0x000A0000), SW_SHOW);
    EXPECT_EQ(dialog_show_command(WS_MAXIMIZE), SW_MAXIMIZE);
    EXPECT_EQ(dialog_show_command(WS_MINIMIZE), SW_MINIMIZE);
    EXPECT_EQ(dialog_show_command(WS_MAXIMIZE | WS_MINIMIZE), SW_MAXIMIZE);
}

// ---- Pixel-mode placement -------------------------------------------------

struct DialogPlacementCase {
    const char* name;
    int32_t x, y, width, height;
    RECT client, window, workArea;
    DialogPlacement expected;
};

void PrintTo(const DialogPlacementCase& c, std::ostream* out) { *out << c.name; }

class DialogPlacementTable : public ::testing::TestWithParam<DialogPlacementCase> {};

TEST_P(DialogPlacementTable, SizeFlagsAndPosition) {
    const DialogPlacementCase& c = GetParam();
    DialogPlacement p = dialog_placement(c.x, c.y, c.width, c.height, c.client, c.window, c.workArea);
    EXPECT_EQ(p.width, c.expected.width);
    EXPECT_EQ(p.height, c.expected.height);
    EXPECT_EQ(p.flags, c.expected.flags);
    if (!(c.expected.flags & SWP_NOMOVE)) {
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}

// Client 100x50 inside a 108x77 window: the frame adds 8 and 27.
const RECT kClient = {0, 0, 100, 50};
const RECT kWindow = {30, 40, 138, 117};
const RECT kWork = {0, 0, 1280, 994};

INSTANTIATE_TEST_SUITE_P(
    Rules, DialogPlacementTable,
    ::testing::Values(
        DialogPlacementCase{"as given", 5, 7, 480, 165, kClient, kWindow, kWork,
                      {5, 7, 488, 192, 0x071C}},
        DialogPlacementCase{"centred", -1, -1, 480, 165, kClient, kWindow, kWork,
                      {396, 401, 488, 192, 0x071C}},
        DialogPlacementCase{"x centres both", -1, 100, 480, 165, kClient, kWindow, kWork,
                      {396, 401, 488, 192, 0x071C}},
        DialogPlacementCase{"y centres both", 100, -1, 480, 165, kClient, kWindow, kWork,
                      {396, 401, 488, 192, 0x071C}},
        DialogPlacementCase{"odd remainder rounds down", -1, -1, 481, 166, kClient, kWindow, kWork,
                      {395, 400, 489, 193, 0x071C}},
        DialogPlacementCase{"offset work area", -1, -1, 480, 165, kClient, kWindow,
                      RECT{100, 30, 1280, 1024}, {446, 431, 488, 192, 0x071C}},
        // Larger than the work area: negative, rounded toward minus infinity.
        DialogPlacementCase{"negative odd", -1, -1, 1581, 1294, kClient, kWindow, kWork,
                      {-155, -164, 1589, 1321, 0x071C}},
        DialogPlacementCase{"negative even", -1, -1, 1580, 1293, kClient, kWindow, kWork,
                      {-154, -163, 1588, 1320, 0x071C}},
        DialogPlacementCase{"keep x", 32768, 50, 480, 165, kClient, kWindow, kWork,
                      {0, 0, 488, 192, 0x071E}},
        DialogPlacementCase{"keep wins over centre", -1, 32768, 480, 165, kClient, kWindow, kWork,
                      {0, 0, 488, 192, 0x071E}}),
    [](const ::testing::TestParamInfo<DialogPlacementCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!isalnum((unsigned char)c)) c = '_';
        }
        return name;
    });

// ---- new_dialog on real windows ------------------------------------------

namespace {

INT_PTR CALLBACK plain_dialog_proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The same template that new_dialog builds, made into a dialog directly, to see
// where the platform alone puts it.
HWND platform_dialog(const char* title, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t style) {
    union {
        DWORD alignment;
        uint8_t bytes[DIALOG_TEMPLATE_MAX];
    } buffer;
    uint32_t titleLength = 0;
    const char* used = dialog_title(title, &titleLength);
    ToolkitThreadState* state = thread_state();
    build_dialog_template(buffer.bytes, used, titleLength, dialog_style(style, x, y), 0, x, y,
                          width, height, state->inherited.defaultFontFace, state->inherited.defaultFontSize);
    return CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)buffer.bytes, NULL,
                                      plain_dialog_proc, 0);
}

RECT work_area() {
    RECT rect = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0);
    return rect;
}

}  // namespace

struct DialogFrameCase {
    const char* name;
    uint32_t style;
    uint32_t extendedStyle;
    int32_t width, height;
};

void PrintTo(const DialogFrameCase& c, std::ostream* out) { *out << c.name; }

class PixelClientArea : public CreationTest, public ::testing::WithParamInterface<DialogFrameCase> {};

TEST_P(PixelClientArea, IsExactlyTheRequestedSize) {
    const DialogFrameCase& c = GetParam();
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Frame", -1, -1, c.width, c.height,
                                  c.style, c.extendedStyle));
    ASSERT_NE(dialog, nullptr);
    SIZE size = client_size(dialog);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, PixelClientArea,
    ::testing::Values(
        DialogFrameCase{"DefaultPopup", 0, 0, 480, 165},
        DialogFrameCase{"SystemMenuAndMinimise", WS_SYSMENU | WS_MINIMIZEBOX, 0, 480, 165},
        DialogFrameCase{"ThickFrame", WS_CAPTION | WS_THICKFRAME | WS_SYSMENU, 0, 300, 200},
        DialogFrameCase{"PopupNoCaption", WS_POPUP | WS_BORDER, 0, 123, 45},
        DialogFrameCase{"ToolWindow", WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW, 250, 90},
        DialogFrameCase{"ClientEdge", WS_POPUP | WS_CAPTION | DS_MODALFRAME, WS_EX_CLIENTEDGE, 77, 333}),
    [](const ::testing::TestParamInfo<DialogFrameCase>& info) { return std::string(info.param.name); });

TEST_F(CreationTest, PixelDialogAtAGivenPositionLandsThere) {
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "At", 37, 53, 200, 100, 0, 0));
    ASSERT_NE(dialog, nullptr);
    RECT rect = window_rect(dialog);
    EXPECT_EQ(rect.left, 37);
    EXPECT_EQ(rect.top, 53);
}

// The middle of the window is on the middle of the work area, halves rounded
// down: 0 <= (left + right of the work area) - (2 x + W) <= 1.
void expect_centred(HWND dialog) {
    RECT work = work_area();
    RECT rect = window_rect(dialog);
    long w = rect.right - rect.left;
    long h = rect.bottom - rect.top;
    long dx = (work.left + work.right) - (2 * rect.left + w);
    long dy = (work.top + work.bottom) - (2 * rect.top + h);
    EXPECT_TRUE(dx == 0 || dx == 1) << "left " << rect.left << " width " << w;
    EXPECT_TRUE(dy == 0 || dy == 1) << "top " << rect.top << " height " << h;
}

TEST_F(CreationTest, CentredInBothDirectionsWhenEitherCoordinateIsMinusOne) {
    const int32_t positions[][2] = {{-1, -1}, {-1, 100}, {100, -1}};
    for (const auto& at : positions) {
        HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Centre", at[0], at[1], 321, 123,
                                      WS_SYSMENU | WS_MINIMIZEBOX, 0));
        ASSERT_NE(dialog, nullptr);
        SCOPED_TRACE(testing::Message() << at[0] << "," << at[1]);
        expect_centred(dialog);
        EXPECT_EQ(client_size(dialog).cx, 321);
    }
}

TEST_F(CreationTest, LargerThanTheWorkAreaGetsNegativeRoundedDownCoordinates) {
    RECT work = work_area();
    // Two sizes one apart, so that one of them leaves an odd remainder.
    for (int32_t extra = 301; extra <= 302; ++extra) {
        int32_t width = (work.right - work.left) + extra;
        int32_t height = (work.bottom - work.top) + extra;
        HWND dialog =
            keep(new_dialog(DIALOG_PIXELS, NULL, "Big", -1, -1, width, height, 0, 0));
        ASSERT_NE(dialog, nullptr);
        SCOPED_TRACE(extra);
        RECT rect = window_rect(dialog);
        EXPECT_LT(rect.left, 0);
        EXPECT_LT(rect.top, 0);
        expect_centred(dialog);
        EXPECT_EQ(client_size(dialog).cx, width);
        EXPECT_EQ(client_size(dialog).cy, height);
    }
}

TEST_F(CreationTest, KeepPositionSetsTheSizeButLeavesThePlatformsPosition) {
    const uint32_t style = WS_SYSMENU | WS_MINIMIZEBOX;
    HWND platform = keep(platform_dialog("Keep", 32768, 50, 200, 100, style));
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Keep", 32768, 50, 200, 100, style, 0));
    ASSERT_NE(platform, nullptr);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(same_place(window_rect(dialog), window_rect(platform), true));
    EXPECT_EQ(client_size(dialog).cx, 200);
    EXPECT_EQ(client_size(dialog).cy, 100);
}

TEST_F(CreationTest, UnitsModeLeavesSizeAndPlaceToThePlatform) {
    const int32_t positions[][2] = {{-1, -1}, {10, 20}};
    for (const auto& at : positions) {
        SCOPED_TRACE(testing::Message() << at[0] << "," << at[1]);
        HWND platform = keep(platform_dialog("Units", at[0], at[1], 160, 80, 0));
        HWND dialog = keep(new_dialog(0, NULL, "Units", at[0], at[1], 160, 80, 0, 0));
        ASSERT_NE(platform, nullptr);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(same_place(window_rect(dialog), window_rect(platform)));
        // The client area is 160 x 80 units of the dialog's font.
        RECT units = {0, 0, 160, 80};
        MapDialogRect(dialog, &units);
        EXPECT_EQ(client_size(dialog).cx, units.right);
        EXPECT_EQ(client_size(dialog).cy, units.bottom);
        EXPECT_NE(units.right, 160);  // units are not pixels here
    }
}

TEST_F(CreationTest, DialogStaysHiddenEvenWhenAskedToBeVisible) {
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Hidden", -1, -1, 100, 50,
                                  WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0));
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), nullptr);  // no controls yet
}

struct DialogRecordCase {
    uint32_t mode;
    uint32_t style;
    uint32_t expectedFlags;
    int32_t expectedShow;
};

void PrintTo(const DialogRecordCase& c, std::ostream* out) {
    *out << std::hex << "mode 0x" << c.mode << " style 0x" << c.style;
}

class DialogRecord : public CreationTest, public ::testing::WithParamInterface<DialogRecordCase> {};

TEST_P(DialogRecord, CarriesModeStyleShowCommandAndFont) {
    const DialogRecordCase& c = GetParam();
    SetLastError(0);
    HWND dialog = keep(new_dialog(c.mode, NULL, "Record", -1, -1, 200, 90, c.style, 0));
    ASSERT_NE(dialog, nullptr) << "the platform's last error: " << GetLastError();
    WindowRecord* record = find_record(dialog);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->window, dialog);
    EXPECT_EQ(record->parent, nullptr);
    EXPECT_EQ(record->flags, c.expectedFlags);
    EXPECT_EQ(record->kind, 0);
    EXPECT_EQ(record->style, c.style);
    EXPECT_EQ(record->showCommand, c.expectedShow);
    EXPECT_EQ(record->callback, nullptr);
    EXPECT_EQ(record->resultTarget, nullptr);
    EXPECT_EQ(record->backColor, COLOR_UNTOUCHED);
    EXPECT_EQ(record->textColor, COLOR_UNTOUCHED);
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    EXPECT_NE(font, nullptr);
    EXPECT_EQ(record->font, font);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DialogRecord,
    ::testing::Values(DialogRecordCase{DIALOG_PIXELS, 0x000A0000, 0x4002, SW_SHOW},
                      DialogRecordCase{DIALOG_PIXELS, 0, 0x4002, SW_SHOW},
                      DialogRecordCase{0, 0, 0x4001, SW_SHOW},
                      DialogRecordCase{0xFFFFFFFD, 0, 0x4001, SW_SHOW},  // only bit 1 counts
                      DialogRecordCase{0x00000003, WS_POPUP | WS_CAPTION | WS_MINIMIZE, 0x4002,
                                 SW_MINIMIZE},
                      DialogRecordCase{0, WS_POPUP | WS_CAPTION | WS_MAXIMIZE | WS_MINIMIZE, 0x4001,
                                 SW_MAXIMIZE}));

TEST_F(CreationTest, RecordKeepsTheParent) {
    HWND owner = keep(new_dialog(DIALOG_PIXELS, NULL, "Owner", -1, -1, 300, 200, 0, 0));
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, owner, "Owned", -1, -1, 100, 50, 0, 0));
    ASSERT_NE(dialog, nullptr);
    WindowRecord* record = find_record(dialog);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->parent, owner);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
}

TEST_F(CreationTest, FontIsTheThreadsDefaultDialogFontAtThatMoment) {
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Font", -1, -1, 100, 50, 0, 0));
    ASSERT_NE(dialog, nullptr);
    LOGFONTA font = {};
    ASSERT_NE(GetObjectA(find_record(dialog)->font, sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    HDC screen = GetDC(NULL);
    int expectedHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(NULL, screen);
    EXPECT_EQ(font.lfHeight, expectedHeight);

    ToolkitThreadState* state = thread_state();
    ToolkitThreadState saved = *state;
    strcpy(state->inherited.defaultFontFace, "Tahoma");
    state->inherited.defaultFontSize = 14;
    HWND other = keep(new_dialog(DIALOG_PIXELS, NULL, "Font", -1, -1, 100, 50, 0, 0));
    *state = saved;
    ASSERT_NE(other, nullptr);
    ASSERT_NE(GetObjectA(find_record(other)->font, sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_LT(font.lfHeight, expectedHeight);  // 14 points is taller than 8
}

void* no_memory(SIZE_T) { return nullptr; }

struct FontSeen {
    bool created;
    std::string face;
};

DWORD WINAPI dialog_without_thread_state(void* argument) {
    FontSeen* seen = static_cast<FontSeen*>(argument);
    stateAllocator = no_memory;
    HWND dialog = new_dialog(DIALOG_PIXELS, NULL, "No state", -1, -1, 100, 50, 0, 0);
    stateAllocator = platform_state_allocate;
    seen->created = dialog != 0;
    LOGFONTA font = {};
    if (dialog && GetObjectA(find_record(dialog)->font, sizeof font, &font)) {
        seen->face = font.lfFaceName;
    }
    if (dialog) DestroyWindow(dialog);
    return 0;
}

TEST_F(CreationTest, AThreadWithoutStateGetsTheStartupDefaultFont) {
    // Were a state made, it would inherit "Tahoma" from the start-up thread.
    ToolkitThreadState saved = *firstThreadState;
    strcpy(firstThreadState->inherited.defaultFontFace, "Tahoma");
    FontSeen seen = {false, ""};
    HANDLE thread = CreateThread(NULL, 0, dialog_without_thread_state, &seen, 0, NULL);
    ASSERT_NE(thread, (HANDLE)0);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    *firstThreadState = saved;
    EXPECT_TRUE(seen.created);
    EXPECT_EQ(seen.face, "MS Sans Serif");
}

TEST_F(CreationTest, TitleBytesShowAsTheSameCodePoints) {
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, "Caf\xE9 \xFF", -1, -1, 100, 50, 0, 0));
    ASSERT_NE(dialog, nullptr);
    wchar_t title[16] = {};
    GetWindowTextW(dialog, title, 16);
    EXPECT_EQ(std::wstring(title), std::wstring(L"Caf\x00E9 \x00FF"));
}

TEST_F(CreationTest, TitleRulesReachTheWindow) {
    std::string longTitle;
    for (int i = 0; i < 300; ++i) longTitle += (char)('a' + i % 26);
    struct {
        const char* title;
        std::string expected;
    } cases[] = {{longTitle.c_str(), longTitle.substr(0, 256)},
                 {"", " "},
                 {nullptr, " "},
                 {"A dialog   title", "A dialog   title"}};
    for (const auto& c : cases) {
        HWND dialog = keep(new_dialog(DIALOG_PIXELS, NULL, c.title, -1, -1, 100, 50, 0, 0));
        ASSERT_NE(dialog, nullptr);
        char title[400] = {};
        GetWindowTextA(dialog, title, sizeof title);
        EXPECT_EQ(std::string(title), c.expected);
    }
}

TEST_F(CreationTest, NoWindowMeansNullAndNoRecord) {
    WindowRecord* before = windowRegistry.registryHead;
    // A parent handle that names no window: the platform refuses the dialog.
    HWND dialog = keep(new_dialog(DIALOG_PIXELS, (HWND)(INT_PTR)0x7FFF0, "None", -1, -1, 100, 50,
                                  0, 0));
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(windowRegistry.registryHead, before);
}

// A dialog whose record cannot be made is no dialog: null, and no hidden
// window left behind on the thread.
TEST_F(CreationTest, ADialogWhoseRecordCannotBeMadeLeavesNoWindow) {
    for (uint32_t mode : {DIALOG_PIXELS, 0u}) {
        SCOPED_TRACE(mode);
        std::vector<HWND> before = vornelle_test::dialogs_of_this_thread();
        WindowRecord* head = windowRegistry.registryHead;
        HWND dialog;
        {
            vornelle_test::RecordMemoryRefused refused;
            dialog = keep(new_dialog(mode, NULL, "No record", -1, -1, 100, 50, 0, 0));
        }
        EXPECT_EQ(dialog, nullptr);
        std::vector<HWND> after = vornelle_test::dialogs_of_this_thread();
        EXPECT_EQ(after.size(), before.size());
        for (HWND window : after) {
            bool old = false;
            for (HWND w : before) old |= w == window;
            if (!old) keep(window);  // left behind: destroyed when the test ends
        }
        EXPECT_EQ(windowRegistry.registryHead, head);
        // With memory back, dialogs are made again.
        EXPECT_NE(keep(new_dialog(mode, NULL, "Record", -1, -1, 100, 50, 0, 0)), nullptr);
    }
}
