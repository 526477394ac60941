// End-to-end tests of vornelle.exe: each test starts the real program, works
// its dialog from outside through the platform's window messages, and ends it
// (killing it if a test left it running).
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "tests/app/program_fixture.h"
#include "tests/support/outside_program.h"
#include "tests/support/passphrase_check.h"
#include "tests/support/window_place.h"
#include "tests/support/wine_path.h"

using vornelle::MAIN_DIALOG_TITLE;
using namespace vornelle_test;

namespace {

const char INTRO_TEXT[] =
    "This will generate a \"safe\" WPA Pass Phrase, safe meaning that it contains only A-Z, "
    "a-z, and 0-9, so it should work on all makes of hardware.  It generates a 63 character "
    "passphrase, for an extraordinary level of security.  You may select and copy directly "
    "to the clipboard.";

const int CLIENT_WIDTH = 480;
const int CLIENT_HEIGHT = 165;

// Division by two rounded down, for negative values too.
int half_down(int value) {
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

class MainDialogTest : public ProgramTest {
protected:
    // A key pressed and released, posted to window as the keyboard would.
    void post_key(HWND window, WPARAM key) {
        UINT scan = MapVirtualKeyA((UINT)key, MAPVK_VK_TO_VSC);
        PostMessageA(window, WM_KEYDOWN, key, 1 | (scan << 16));
        PostMessageA(window, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
    }

    // Waits for the text box to show a pass phrase other than previous.
    std::string wait_for_new_passphrase(const std::string& previous) {
        std::string text;
        wait_until([&] { text = text_of(box_); return is_passphrase(text) && text != previous; },
                   5000);
        return text;
    }
};

TEST_F(MainDialogTest, DialogHasTitleClassAndFrame) {
    EXPECT_EQ(text_of(dialog_), MAIN_DIALOG_TITLE);
    EXPECT_EQ(class_of(dialog_), DIALOG_CLASS);
    EXPECT_EQ(GetParent(dialog_), (HWND)0);

    LONG style = GetWindowLongA(dialog_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE)
        << std::hex << style;
    EXPECT_EQ(style & (WS_POPUP | WS_CHILD | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_DISABLED), 0)
        << std::hex << style;
    LONG exStyle = GetWindowLongA(dialog_, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT), 0)
        << std::hex << exStyle;

    RECT client = {};
    GetClientRect(dialog_, &client);
    EXPECT_EQ(client.right - client.left, CLIENT_WIDTH);
    EXPECT_EQ(client.bottom - client.top, CLIENT_HEIGHT);
}

TEST_F(MainDialogTest, DialogIsCentredOnTheWorkArea) {
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    RECT window = window_rect(dialog_);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    EXPECT_EQ(window.left, half_down(work.left + work.right - width));
    EXPECT_EQ(window.top, half_down(work.top + work.bottom - height));
}

struct ExpectedControl {
    int id;
    const char* className;
    RECT rect;  // in the dialog's client area
    LONG style;
    LONG exStyle;
};

const ExpectedControl CONTROLS[] = {
    {111, "Static", {10, 10, 470, 50}, 0x50000000, 0},
    {101, "Edit", {10, 50, 470, 72}, 0x50810800, WS_EX_CLIENTEDGE},
    {102, "Button", {130, 80, 350, 105}, 0x50010000, 0},
    {211, "Static", {300, 110, 520, 143}, 0x50000000, 0},
};

TEST_F(MainDialogTest, ControlsHaveTheirClassStylePlaceAndOrder) {
    HWND child = GetWindow(dialog_, GW_CHILD);
    for (const ExpectedControl& expected : CONTROLS) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        // Children come in the order they were added, which is the tab order.
        ASSERT_NE(child, (HWND)0);
        EXPECT_EQ(GetDlgCtrlID(child), expected.id);
        HWND control = GetDlgItem(dialog_, expected.id);
        ASSERT_NE(control, (HWND)0);
        EXPECT_EQ(_stricmp(class_of(control).c_str(), expected.className), 0)
            << class_of(control);
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE), expected.style)
            << std::hex << GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(GetWindowLongA(control, GWL_EXSTYLE), expected.exStyle)
            << std::hex << GetWindowLongA(control, GWL_EXSTYLE);
        EXPECT_TRUE(same_place(rect_in(dialog_, control), expected.rect));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, (HWND)0) << "a control too many";
}

TEST_F(MainDialogTest, TextsAtStart) {
    EXPECT_EQ(text_of(GetDlgItem(dialog_, 111)), INTRO_TEXT);
    EXPECT_EQ(std::string(INTRO_TEXT).size(), 275u);
    EXPECT_EQ(text_of(box_), "");
    EXPECT_EQ(text_of(button_), "Generate WPA-PSK (Pass phrase) Now");
    std::string credit = text_of(GetDlgItem(dialog_, 211));
    EXPECT_FALSE(credit.empty());
    EXPECT_LE(credit.size(), 50u);
    EXPECT_EQ(credit.find_first_of("\r\n"), std::string::npos);
}

TEST_F(MainDialogTest, ButtonHasTheFocusAtStart) {
    EXPECT_TRUE(wait_until([&] { return focused() == button_; }, 2000))
        << "focus on " << focused() << " (" << class_of(focused()) << ")";
}

TEST_F(MainDialogTest, EachClickShowsANewPassphraseOfTheAlphabet) {
    std::set<std::string> seen;
    std::set<char> symbols;
    const int clicks = 20;
    for (int i = 0; i < clicks; ++i) {
        std::string passphrase = press();
        ASSERT_TRUE(is_passphrase(passphrase)) << "\"" << passphrase << "\"";
        EXPECT_TRUE(seen.insert(passphrase).second) << "repeated: " << passphrase;
        symbols.insert(passphrase.begin(), passphrase.end());
    }
    // 1,260 characters miss one of the 62 symbols with a chance below 1e-7.
    EXPECT_EQ(symbols.size(), strlen(PASSPHRASE_SYMBOLS));
    EXPECT_TRUE(running());
}

TEST_F(MainDialogTest, SpaceOnTheFocusedButtonGenerates) {
    ASSERT_TRUE(wait_until([&] { return focused() == button_; }, 2000));
    post_key(button_, VK_SPACE);
    std::string first = wait_for_new_passphrase("");
    EXPECT_TRUE(is_passphrase(first)) << "\"" << first << "\"";
    post_key(button_, VK_SPACE);
    std::string second = wait_for_new_passphrase(first);
    EXPECT_TRUE(is_passphrase(second)) << "\"" << second << "\"";
    EXPECT_NE(first, second);
}

TEST_F(MainDialogTest, TabMovesTheFocusBetweenBoxAndButton) {
    ASSERT_TRUE(wait_until([&] { return focused() == button_; }, 2000));
    post_key(button_, VK_TAB);
    EXPECT_TRUE(wait_until([&] { return focused() == box_; }, 5000));
    post_key(box_, VK_TAB);
    EXPECT_TRUE(wait_until([&] { return focused() == button_; }, 5000));
    post_key(button_, VK_TAB);
    EXPECT_TRUE(wait_until([&] { return focused() == box_; }, 5000));
}

TEST_F(MainDialogTest, TypingIntoTheBoxChangesNothing) {
    std::string passphrase = press();
    ASSERT_TRUE(is_passphrase(passphrase));
    post_key(button_, VK_TAB);
    ASSERT_TRUE(wait_until([&] { return focused() == box_; }, 5000));

    const char typed[] = {'x', '7', ' ', '\b', 0x16 /* Ctrl+V */, 0x18 /* Ctrl+X */};
    for (char c : typed) PostMessageA(box_, WM_CHAR, (WPARAM)(unsigned char)c, 1);
    post_key(box_, VK_DELETE);
    post_key(box_, VK_BACK);
    // Posted messages arrive in order: once the Tab after them has moved the
    // focus, every keystroke before it has been handled.
    post_key(box_, VK_TAB);
    ASSERT_TRUE(wait_until([&] { return focused() == button_; }, 5000));
    EXPECT_EQ(text_of(box_), passphrase);
}

TEST_F(MainDialogTest, EscapeLeavesTheDialogOpen) {
    post_key(button_, VK_ESCAPE);
    post_key(button_, VK_SPACE);  // handled after Esc: the dialog still works
    std::string passphrase = wait_for_new_passphrase("");
    EXPECT_TRUE(is_passphrase(passphrase)) << "\"" << passphrase << "\"";
    EXPECT_TRUE(IsWindow(dialog_));
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_TRUE(running());
}

TEST_F(MainDialogTest, QuitMessageLeavesTheDialogOpen) {
    ASSERT_TRUE(PostThreadMessageA(process_.dwThreadId, WM_QUIT, 0, 0));
    post_key(button_, VK_SPACE);
    std::string passphrase = wait_for_new_passphrase("");
    EXPECT_TRUE(is_passphrase(passphrase)) << "\"" << passphrase << "\"";
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_TRUE(running());
}

struct VisibleWindows {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect_visible(HWND window, LPARAM context) {
    VisibleWindows* visible = (VisibleWindows*)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == visible->processId && IsWindowVisible(window)) visible->windows.push_back(window);
    return TRUE;
}

TEST_F(MainDialogTest, NoOtherWindowIsShown) {
    press();
    post_key(button_, VK_ESCAPE);
    post_key(button_, VK_SPACE);
    wait_for_new_passphrase(text_of(box_));
    VisibleWindows visible = {process_.dwProcessId, {}};
    EnumWindows(collect_visible, (LPARAM)&visible);
    ASSERT_EQ(visible.windows.size(), 1u);
    EXPECT_EQ(visible.windows[0], dialog_);
}

TEST_F(MainDialogTest, CloseEndsTheProgramWithExitCodeZero) {
    press();
    ASSERT_TRUE(PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0));
    ASSERT_EQ(WaitForSingleObject(process_.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(GetExitCodeProcess(process_.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(IsWindow(dialog_));
}

}  // namespace
