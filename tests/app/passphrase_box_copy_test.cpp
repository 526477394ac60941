// Copying from a box attached in-process: texts of the code page come out as
// the platform's own edit control copies them, also in a double-byte code
// page; memory running out or a format the platform will not register leaves
// the clipboard alone; attaching twice leaves one working box, and boxes with
// different previous procedures each keep their own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/passphrase_box_copy.h"
#include "runtime/system_memory.h"
#include "tests/app/clipboard_reading.h"
#include "tests/support/import_patch.h"

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

// A second attach, or one of a null box, must not make the box call itself
// (it would then never answer, and run out of stack).
TEST_F(PassphraseBoxCopyTest, AttachingAgainLeavesOneWorkingBox) {
    ASSERT_EQ((WNDPROC)GetWindowLongPtrA(box_, GWLP_WNDPROC), (WNDPROC)private_copy_proc);
    EXPECT_TRUE(attach_private_copy(box_));
    EXPECT_FALSE(attach_private_copy(0));
    EXPECT_EQ((WNDPROC)GetWindowLongPtrA(box_, GWLP_WNDPROC), (WNDPROC)private_copy_proc);

    ClipboardContent content = copy_from(box_, "still copies", 0, -1);
    EXPECT_EQ(content.text, "still copies");
    EXPECT_NE(content.find(PRIVACY_FORMATS[1]), nullptr);
    char text[32] = {};
    GetWindowTextA(box_, text, sizeof text);
    EXPECT_STREQ(text, "still copies");
}

// Two boxes, each already subclassed by a procedure of its own that answers
// WHO_ARE_YOU with its letter and passes everything else to the edit control.
const UINT WHO_ARE_YOU = WM_APP + 1;
WNDPROC editProc;
LRESULT CALLBACK first_owner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WHO_ARE_YOU) return 'A';
    return CallWindowProcA(editProc, window, message, wParam, lParam);
}
LRESULT CALLBACK second_owner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WHO_ARE_YOU) return 'B';
    return CallWindowProcA(editProc, window, message, wParam, lParam);
}

TEST_F(PassphraseBoxCopyTest, EachBoxKeepsItsOwnPreviousProcedure) {
    struct Box {
        HWND window;
        WNDPROC owner;
        LRESULT letter;
        const char* text;
    } boxes[] = {{make_edit(), first_owner, 'A', "first box"},
                 {make_edit(), second_owner, 'B', "second box"}};
    for (Box& box : boxes) {
        editProc = (WNDPROC)SetWindowLongPtrA(box.window, GWLP_WNDPROC, (LONG_PTR)box.owner);
        ASSERT_TRUE(attach_private_copy(box.window));
    }
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.text);
        EXPECT_EQ(SendMessageA(box.window, WHO_ARE_YOU, 0, 0), box.letter);
        ClipboardContent content = copy_from(box.window, box.text, 0, -1);
        EXPECT_EQ(content.text, box.text);
        EXPECT_NE(content.find(PRIVACY_FORMATS[0]), nullptr);
    }
    // Gone with its window: the first box's end leaves the second working.
    DestroyWindow(boxes[0].window);
    EXPECT_EQ(SendMessageA(boxes[1].window, WHO_ARE_YOU, 0, 0), 'B');
    EXPECT_EQ(copy_from(boxes[1].window, "after the first", 0, -1).text, "after the first");
}

// Boxes beyond the room the program keeps for them are left as they are, and
// copy as plain edit controls; a box that goes makes room for the next.
TEST_F(PassphraseBoxCopyTest, ABoxBeyondTheRoomIsLeftAsItIs) {
    std::vector<HWND> attached;
    HWND beyond = 0;
    for (int i = 0; i < 2 * PRIVATE_COPY_BOX_MAX && !beyond; ++i) {
        HWND box = make_edit();
        if (attach_private_copy(box)) {
            attached.push_back(box);
        } else {
            beyond = box;
        }
    }
    ASSERT_NE(beyond, (HWND)0) << "no box was ever refused";
    EXPECT_LE(attached.size(), (size_t)PRIVATE_COPY_BOX_MAX);
    EXPECT_NE((WNDPROC)GetWindowLongPtrA(beyond, GWLP_WNDPROC), (WNDPROC)private_copy_proc);
    ClipboardContent plain = copy_from(beyond, "copied plainly", 0, -1);
    EXPECT_EQ(plain.text, "copied plainly");
    EXPECT_EQ(plain.find(PRIVACY_FORMATS[0]), nullptr);
    for (HWND box : attached) {
        EXPECT_NE(copy_from(box, "copied privately", 0, -1).find(PRIVACY_FORMATS[0]), nullptr);
    }

    DestroyWindow(attached.back());
    HWND next = make_edit();
    EXPECT_TRUE(attach_private_copy(next));
    EXPECT_NE(copy_from(next, "copied privately", 0, -1).find(PRIVACY_FORMATS[0]), nullptr);
}

// Another process can write any property of any window. Whatever properties
// an attached box carries, a procedure written into them is never called, and
// the box goes on copying and answering as an edit control to its end.
int strangerCalls;
LRESULT CALLBACK stranger_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ++strangerCalls;
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK collect_property(HWND, LPSTR name, HANDLE, ULONG_PTR names) {
    ((std::vector<std::string>*)names)
        ->push_back(IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t)name) : name);
    return TRUE;
}

TEST_F(PassphraseBoxCopyTest, AProcedureWrittenIntoTheBoxsPropertiesIsNeverCalled) {
    std::vector<std::string> names;
    EnumPropsExA(box_, collect_property, (LPARAM)&names);
    names.push_back("Stranger");  // one the box did not have
    for (const std::string& name : names) {
        LPCSTR key = name[0] == '#' ? MAKEINTATOM(std::stoul(name.substr(1))) : name.c_str();
        ASSERT_TRUE(SetPropA(box_, key, (HANDLE)stranger_procedure)) << name;
    }
    strangerCalls = 0;

    ClipboardContent content = copy_from(box_, "copied as before", 0, -1);
    EXPECT_EQ(content.text, "copied as before");
    EXPECT_NE(content.find(PRIVACY_FORMATS[0]), nullptr);
    EXPECT_EQ(SendMessageA(box_, WM_GETTEXTLENGTH, 0, 0), 16);
    EXPECT_EQ(SendMessageA(box_, EM_GETLIMITTEXT, 0, 0),
              SendMessageA(plain_, EM_GETLIMITTEXT, 0, 0))
        << "not answered as an edit control";
    DestroyWindow(box_);
    EXPECT_EQ(strangerCalls, 0) << "the box called a procedure from its properties";
}

// RegisterClipboardFormatA as the platform answers it, except that the name
// refusedFormat is refused.
const char* refusedFormat;
UINT(WINAPI* platformRegister)(LPCSTR);
UINT WINAPI refusing_register(LPCSTR name) {
    if (refusedFormat && strcmp(name, refusedFormat) == 0) return 0;
    return platformRegister(name);
}

// The platform gives no way to make a registration fail, so a refusal is
// injected into the program's own import of it.
TEST_F(PassphraseBoxCopyTest, AFormatThePlatformWillNotRegisterLeavesTheClipboardAlone) {
    SetWindowTextA(box_, "Zq8X0aB1cD2eF3gH4iJ5kL6mN7oP8qR9sT0uV1wX2yZ3aB4cD5eF6gH7iJ8kL9m");
    SendMessageA(box_, EM_SETSEL, 0, -1);
    for (const char* name : PRIVACY_FORMATS) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(put_clipboard_text(BEFORE));
        DWORD sequence = GetClipboardSequenceNumber();
        {
            ScopedImportPatch patch("user32.dll", "RegisterClipboardFormatA",
                                    (void*)refusing_register);
            ASSERT_NE(patch.original, nullptr);
            platformRegister = (UINT(WINAPI*)(LPCSTR))patch.original;
            refusedFormat = name;
            EXPECT_FALSE(copy_selection_privately(box_));
        }
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the clipboard was emptied";
        EXPECT_EQ(narrow(read_clipboard().unicodeText), BEFORE);
    }
}

// In code page 932 (CTest starts this suite with LC_ALL=ja_JP.UTF-8, from
// which Wine takes the code page), two of the box's characters take two bytes
// each as 8-bit text: the selection's positions count characters.
class DoubleByteCodePageCopyTest : public PassphraseBoxCopyTest {};

struct DoubleByteCase {
    int from, to;
    const wchar_t* copied;
};

TEST_F(DoubleByteCodePageCopyTest, SelectionsCopyExactlyTheirCharacters) {
    ASSERT_EQ(GetACP(), 932u) << "not started in the double-byte code page";
    const char text[] = "AB\x93\xFA\x96\x7B" "CD";  // "AB", two CJK characters, "CD"
    const DoubleByteCase cases[] = {
        {0, -1, L"AB\u65E5\u672C" L"CD"}, {0, 6, L"AB\u65E5\u672C" L"CD"},
        {2, 4, L"\u65E5\u672C"},         {1, 3, L"B\u65E5"},
        {3, 5, L"\u672C" L"C"},           {4, 6, L"CD"},
        {5, 6, L"D"},
    };
    for (const DoubleByteCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << ".." << c.to);
        ClipboardContent plain = copy_from(plain_, text, c.from, c.to);
        ClipboardContent copied = copy_from(box_, text, c.from, c.to);
        EXPECT_EQ(plain.unicodeText, c.copied) << "the plain edit control copied otherwise";
        EXPECT_EQ(copied.unicodeText, c.copied);
        EXPECT_EQ(copied.text, plain.text);
        EXPECT_NE(copied.find(PRIVACY_FORMATS[2]), nullptr);
    }
}

}  // namespace
