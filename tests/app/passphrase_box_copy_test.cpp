// Copying from a box attached in-process: texts of the code page come out as
// the platform's own edit control copies them, memory running out leaves the
// clipboard alone, and attaching twice leaves one working box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/passphrase_box_copy.h"
#include "runtime/system_memory.h"
#include "tests/app/clipboard_reading.h"

using namespace vornelle;
using namespace vornelle_test;

namespace {

const char BEFORE[] = "on the clipboard before the copy";

char* failing_allocate(uint32_t) { return 0; }

class PassphraseBoxCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 500, 100,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(parent_, (HWND)0);
        box_ = make_edit();
        plain_ = make_edit();
        attach_private_copy(box_);
        ASSERT_TRUE(put_clipboard_text(BEFORE));
    }

    void TearDown() override {
        systemAllocator = platform_system_allocate;
        DestroyWindow(parent_);
    }

    // An ANSI edit control styled as the dialog's read-only box.
    HWND make_edit() {
        return CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", 0x50810800, 10, 10, 460, 22, parent_,
                               NULL, GetModuleHandleA(NULL), NULL);
    }

    // The clipboard after text is set in edit, selected from..to and copied.
    ClipboardContent copy_from(HWND edit, const std::string& text, int from, int to) {
        SetWindowTextA(edit, text.c_str());
        SendMessageA(edit, EM_SETSEL, from, to);
        put_clipboard_text(BEFORE);
        SendMessageA(edit, WM_COPY, 0, 0);
        return read_clipboard();
    }

    HWND parent_ = 0;
    HWND box_ = 0;
    HWND plain_ = 0;
};

struct TextCase {
    const char* what;
    const char* text;  // in the code page, as the program hands texts to the box
    int from, to;
};

const TextCase TEXTS[] = {
    {"a pass phrase", "Zq8X0aB1cD2eF3gH4iJ5kL6mN7oP8qR9sT0uV1wX2yZ3aB4cD5eF6gH7iJ8kL9m", 0, -1},
    {"letters beyond ASCII", "Gr\xFC\xDF" "e aus K\xF6ln \xA9 \x80", 0, -1},
    {"a part with letters beyond ASCII", "Gr\xFC\xDF" "e aus K\xF6ln", 2, 9},
    {"one character", "x", 0, 1},
};

TEST_F(PassphraseBoxCopyTest, TextComesOutAsThePlainEditControlCopiesIt) {
    for (const TextCase& text : TEXTS) {
        SCOPED_TRACE(text.what);
        ClipboardContent plain = copy_from(plain_, text.text, text.from, text.to);
        ClipboardContent copied = copy_from(box_, text.text, text.from, text.to);
        ASSERT_NE(plain.unicodeText, L"") << "the plain edit control did not copy";
        EXPECT_EQ(copied.unicodeText, plain.unicodeText);
        EXPECT_EQ(copied.text, plain.text);
        for (const char* name : PRIVACY_FORMATS) EXPECT_NE(copied.find(name), nullptr) << name;
    }
}

TEST_F(PassphraseBoxCopyTest, RunningOutOfMemoryLeavesTheClipboardAlone) {
    SetWindowTextA(box_, "Zq8X0aB1cD2eF3gH4iJ5kL6mN7oP8qR9sT0uV1wX2yZ3aB4cD5eF6gH7iJ8kL9m");
    SendMessageA(box_, EM_SETSEL, 0, -1);
    systemAllocator = failing_allocate;
    EXPECT_FALSE(copy_selection_privately(box_));
    SendMessageA(box_, WM_COPY, 0, 0);
    ClipboardContent content = read_clipboard();
    EXPECT_EQ(narrow(content.unicodeText), BEFORE);
    EXPECT_EQ(content.find(PRIVACY_FORMATS[0]), nullptr);

    systemAllocator = platform_system_allocate;
    EXPECT_TRUE(copy_selection_privately(box_));
    EXPECT_EQ(read_clipboard().text,
              "Zq8X0aB1cD2eF3gH4iJ5kL6mN7oP8qR9sT0uV1wX2yZ3aB4cD5eF6gH7iJ8kL9m");
}

// A second attach, or one of a null box, must not make the box call itself.
TEST_F(PassphraseBoxCopyTest, AttachingAgainLeavesOneWorkingBox) {
    WNDPROC original = boxDefaultProc;
    attach_private_copy(box_);
    attach_private_copy(0);
    EXPECT_EQ(boxDefaultProc, original);
    EXPECT_NE(boxDefaultProc, (WNDPROC)private_copy_proc);
    EXPECT_EQ((WNDPROC)GetWindowLongPtrA(box_, GWLP_WNDPROC), (WNDPROC)private_copy_proc);

    ClipboardContent content = copy_from(box_, "still copies", 0, -1);
    EXPECT_EQ(content.text, "still copies");
    EXPECT_NE(content.find(PRIVACY_FORMATS[1]), nullptr);
    char text[32] = {};
    GetWindowTextA(box_, text, sizeof text);
    EXPECT_STREQ(text, "still copies");
}

}  // namespace
