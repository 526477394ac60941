// End-to-end tests of the toolkit gallery (vornelle_gallery.exe): each test
// starts the real program, checks its dialog from outside through window
// messages and styles, and ends it (killing it if a test left it running).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/outside_program.h"
#include "tests/support/wine_path.h"

using namespace vornelle_test;

namespace {

const char GALLERY_TITLE[] = "Vornelle toolkit gallery";

std::string gallery_path() { return vornelle_test::windows_path(VORNELLE_GALLERY_EXE); }

bool same_text_ignoring_case(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string failure = start_dialog_program(gallery_path(), &program_);
        ASSERT_EQ(failure, "");
        process_ = program_.process;
        dialog_ = program_.dialog;
    }

    void TearDown() override { stop_dialog_program(&program_); }

    LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        LRESULT result = 0;
        send(window, message, wParam, lParam, &result);
        return result;
    }

    DialogProgram program_ = {};
    PROCESS_INFORMATION process_ = {};
    HWND dialog_ = 0;
};

TEST_F(GalleryTest, ShowsOneControlOfEveryKind) {
    EXPECT_EQ(text_of(dialog_), GALLERY_TITLE);
    struct Expected {
        const char* kind;
        int id;
        const char* className;
        UINT typeMask;  // style bits that tell the kind within its class
        UINT type;
    };
    const Expected controls[] = {
        {"GroupFrame", 100, "Button", 0x0F, BS_GROUPBOX},
        {"CheckBox", 101, "Button", 0x0F, BS_AUTOCHECKBOX},
        {"ThreeStateCheckBox", 102, "Button", 0x0F, BS_AUTO3STATE},
        {"RadioButton", 103, "Button", 0x0F, BS_AUTORADIOBUTTON},
        {"Label", 105, "Static", SS_TYPEMASK, SS_LEFT},
        {"TextBox", 106, "Edit", 0, 0},
        {"ComboBox", 107, "ComboBox", 0x03, CBS_DROPDOWN},
        {"ListBox", 108, "ListBox", LBS_NOTIFY, LBS_NOTIFY},
        {"Label with colours", 109, "Static", SS_TYPEMASK, SS_CENTER},
        {"EtchedFrame", 110, "Static", SS_TYPEMASK, SS_ETCHEDFRAME},
        {"Image", 111, "Static", SS_TYPEMASK, SS_BITMAP},
        {"FittedImage", 112, "Static", SS_TYPEMASK, SS_BITMAP},
        {"ImageButton", 113, "Button", BS_ICON | BS_BITMAP, BS_ICON},
        {"FittedImageButton", 114, "Button", BS_ICON | BS_BITMAP, BS_BITMAP},
        {"Canvas", 119, "Static", SS_TYPEMASK, SS_OWNERDRAW},
        {"vertical ScrollBar", 120, "ScrollBar", SBS_VERT, SBS_VERT},
        {"horizontal ScrollBar", 121, "ScrollBar", SBS_VERT, SBS_HORZ},
        {"CustomClass", 122, "VornelleGallerySwatch", 0, 0},
        {"PushButton (default)", 123, "Button", 0x0F, BS_DEFPUSHBUTTON},
    };
    for (const Expected& c : controls) {
        SCOPED_TRACE(c.kind);
        HWND control = GetDlgItem(dialog_, c.id);
        ASSERT_NE(control, (HWND)0);
        EXPECT_TRUE(same_text_ignoring_case(class_of(control), c.className)) << class_of(control);
        LONG style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & c.typeMask, c.type) << std::hex << style;
        EXPECT_TRUE(IsWindowVisible(control));
    }

    // The images came from the program's resources, and the lists have their items.
    EXPECT_NE(ask(GetDlgItem(dialog_, 111), STM_GETIMAGE, IMAGE_BITMAP), 0);
    EXPECT_NE(ask(GetDlgItem(dialog_, 112), STM_GETIMAGE, IMAGE_BITMAP), 0);
    EXPECT_NE(ask(GetDlgItem(dialog_, 113), BM_GETIMAGE, IMAGE_ICON), 0);
    EXPECT_NE(ask(GetDlgItem(dialog_, 114), BM_GETIMAGE, IMAGE_BITMAP), 0);
    EXPECT_EQ(ask(GetDlgItem(dialog_, 107), CB_GETCOUNT), 5);
    EXPECT_EQ(ask(GetDlgItem(dialog_, 108), LB_GETCOUNT), 6);
    EXPECT_EQ(LOWORD(ask(dialog_, DM_GETDEFID)), 123);
}

TEST_F(GalleryTest, CloseFromTheSystemMenuEndsItWithExitCodeZero) {
    ASSERT_TRUE(PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_EQ(exit_code_within(process_, 10000), 0u);
}

TEST_F(GalleryTest, TheCloseButtonEndsItWithExitCodeZero) {
    HWND button = GetDlgItem(dialog_, 123);
    ASSERT_NE(button, (HWND)0);
    EXPECT_EQ(text_of(button), "Close");
    ASSERT_TRUE(PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(123, BN_CLICKED), (LPARAM)button));
    EXPECT_EQ(exit_code_within(process_, 10000), 0u);
}

}  // namespace
