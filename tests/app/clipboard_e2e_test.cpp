// End-to-end tests of copying a pass phrase from vornelle.exe: the real program
// is pressed, its box's text selected and copied with the box's own commands,
// and the clipboard read from this process as any other program would read it.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/app/clipboard_reading.h"
#include "tests/app/program_fixture.h"
#include "tests/support/outside_program.h"
#include "tests/support/wine_path.h"

using namespace vornelle_test;

namespace {

const LONG BOX_STYLE = 0x50810800;  // read-only, as the dialog lays it out
const char BEFORE[] = "on the clipboard before the copy";

// What a format holds up to its terminating NUL, for text formats.
std::vector<unsigned char> payload(const ClipboardFormat& format) {
    std::vector<unsigned char> bytes = format.bytes;
    size_t unit = format.id == CF_UNICODETEXT ? 2 : 1;
    if (format.id != CF_UNICODETEXT && format.id != CF_TEXT && format.id != CF_OEMTEXT) {
        return bytes;
    }
    for (size_t i = 0; i + unit <= bytes.size(); i += unit) {
        if (bytes[i] == 0 && (unit == 1 || bytes[i + 1] == 0)) {
            bytes.resize(i);
            break;
        }
    }
    return bytes;
}

std::vector<const ClipboardFormat*> standard_formats(const ClipboardContent& content) {
    std::vector<const ClipboardFormat*> standard;
    for (const ClipboardFormat& format : content.formats) {
        if (format.name.empty()) standard.push_back(&format);
    }
    return standard;
}

std::set<std::string> registered_names(const ClipboardContent& content) {
    std::set<std::string> names;
    for (const ClipboardFormat& format : content.formats) {
        if (!format.name.empty()) names.insert(format.name);
    }
    return names;
}

// The clipboard holds text and the three formats, each with the DWORD 0.
void expect_private_copy_of(const ClipboardContent& content, const std::string& text) {
    ASSERT_TRUE(content.opened);
    EXPECT_TRUE(content.has(CF_UNICODETEXT));
    EXPECT_EQ(narrow(content.unicodeText), text);
    EXPECT_EQ(content.text, text);
    for (const char* name : PRIVACY_FORMATS) {
        const ClipboardFormat* format = content.find(name);
        ASSERT_NE(format, nullptr) << name << " is missing";
        ASSERT_GE(format->bytes.size(), sizeof(DWORD)) << name;
        DWORD value = 1;
        memcpy(&value, format->bytes.data(), sizeof value);
        EXPECT_EQ(value, 0u) << name;
    }
}

// The clipboard holds what put_clipboard_text(BEFORE) put there, and nothing
// of a copy.
void expect_unchanged(const ClipboardContent& content) {
    ASSERT_TRUE(content.opened);
    EXPECT_EQ(narrow(content.unicodeText), BEFORE);
    EXPECT_TRUE(registered_names(content).empty());
}

class ClipboardTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(put_clipboard_text(BEFORE));
    }

    // The box's selection, as the box reports it across processes.
    std::pair<DWORD, DWORD> selection() {
        DWORD_PTR both = 0;
        SendMessageTimeoutA(box_, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &both);
        return {LOWORD(both), HIWORD(both)};
    }
};

struct CopyCase {
    const char* what;
    UINT message;
    int selectFrom, selectTo;  // EM_SETSEL's parameters
    size_t from, to;           // the part of the pass phrase expected
};

const CopyCase COPIES[] = {
    {"copy of all", WM_COPY, 0, -1, 0, 63},
    {"copy of all, selected by its length", WM_COPY, 0, 63, 0, 63},
    {"copy of a middle part", WM_COPY, 5, 20, 5, 20},
    {"copy of a part selected backwards", WM_COPY, 20, 5, 5, 20},
    {"copy of the last character", WM_COPY, 62, 63, 62, 63},
    {"copy of a selection reaching past the end", WM_COPY, 40, 1000, 40, 63},
    {"cut of all", WM_CUT, 0, -1, 0, 63},
    {"cut of a middle part", WM_CUT, 10, 30, 10, 30},
};

TEST_F(ClipboardTest, CopyPutsTheSelectionMarkedPrivateAndChangesNothingInTheBox) {
    std::string passphrase = press();
    ASSERT_EQ(passphrase.size(), 63u);
    HWND focus = focused();
    for (const CopyCase& copy : COPIES) {
        SCOPED_TRACE(copy.what);
        ASSERT_TRUE(put_clipboard_text(BEFORE));
        ASSERT_TRUE(send(box_, EM_SETSEL, (WPARAM)copy.selectFrom, (LPARAM)copy.selectTo));
        std::pair<DWORD, DWORD> selected = selection();
        ASSERT_TRUE(send(box_, copy.message));

        expect_private_copy_of(read_clipboard(), passphrase.substr(copy.from, copy.to - copy.from));
        // The box keeps its text, its selection, its style and the focus stays.
        EXPECT_EQ(text_of(box_), passphrase);
        EXPECT_EQ(selection(), selected);
        EXPECT_EQ(GetWindowLongA(box_, GWL_STYLE), BOX_STYLE);
        EXPECT_EQ(focused(), focus);
    }
    EXPECT_TRUE(running());
}

// The platform's own edit control, in this process, shows which formats a copy
// puts: the program's copy has the same ones, in the same order, with the same
// contents, and only the three registered formats beside them.
TEST_F(ClipboardTest, CopyHasThePlainEditControlsFormatsAndTheThreeMore) {
    std::string passphrase = press();
    ASSERT_EQ(passphrase.size(), 63u);

    HWND parent = clipboard_owner();
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", passphrase.c_str(),
                                BOX_STYLE & ~WS_VISIBLE, 0, 0, 460, 22, parent, (HMENU)101,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE(edit, (HWND)0);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_COPY, 0, 0);
    ClipboardContent plain = read_clipboard();
    DestroyWindow(edit);
    ASSERT_EQ(narrow(plain.unicodeText), passphrase) << "the plain edit control did not copy";

    ASSERT_TRUE(put_clipboard_text(BEFORE));
    ASSERT_TRUE(send(box_, EM_SETSEL, 0, -1));
    ASSERT_TRUE(send(box_, WM_COPY));
    ClipboardContent copied = read_clipboard();

    std::vector<const ClipboardFormat*> expected = standard_formats(plain);
    std::vector<const ClipboardFormat*> actual = standard_formats(copied);
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_GE(expected.size(), 2u);  // at least CF_UNICODETEXT and CF_TEXT
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("format " + std::to_string(expected[i]->id));
        EXPECT_EQ(actual[i]->id, expected[i]->id);
        EXPECT_EQ(payload(*actual[i]), payload(*expected[i]));
    }
    EXPECT_EQ(registered_names(plain), std::set<std::string>());
    EXPECT_EQ(registered_names(copied),
              std::set<std::string>(std::begin(PRIVACY_FORMATS), std::end(PRIVACY_FORMATS)));
}

TEST_F(ClipboardTest, EmptySelectionLeavesTheClipboardAsItWas) {
    struct Caret {
        const char* what;
        bool pressed;
        int at;
    };
    const Caret CARETS[] = {
        {"the empty box, all selected", false, -1},
        {"caret at the start", true, 0},
        {"caret in the middle", true, 30},
        {"caret at the end", true, 63},
    };
    for (const Caret& caret : CARETS) {
        SCOPED_TRACE(caret.what);
        if (caret.pressed && text_of(box_).empty()) {
            ASSERT_EQ(press().size(), 63u);
        }
        ASSERT_TRUE(put_clipboard_text(BEFORE));
        ASSERT_TRUE(send(box_, EM_SETSEL, caret.at < 0 ? 0 : caret.at, caret.at));
        ASSERT_TRUE(send(box_, WM_COPY));
        ASSERT_TRUE(send(box_, WM_CUT));
        expect_unchanged(read_clipboard());
    }
}

// Another program holds the clipboard open: the copy does nothing, and the
// program goes on answering and generating; once the clipboard is free again,
// copying works.
TEST_F(ClipboardTest, HeldClipboardLeavesTheProgramWorking) {
    std::string first = press();
    ASSERT_EQ(first.size(), 63u);
    ASSERT_TRUE(open_clipboard(clipboard_owner()));
    ASSERT_TRUE(send(box_, EM_SETSEL, 0, -1));
    DWORD start = GetTickCount();
    bool answered = send(box_, WM_COPY);
    DWORD took = GetTickCount() - start;
    std::string second = press();
    CloseClipboard();

    EXPECT_TRUE(answered);
    EXPECT_LT(took, 2000u) << "the copy waited for the clipboard";
    EXPECT_EQ(second.size(), 63u);
    EXPECT_NE(second, first);
    expect_unchanged(read_clipboard());

    ASSERT_TRUE(send(box_, EM_SETSEL, 0, -1));
    ASSERT_TRUE(send(box_, WM_COPY));
    expect_private_copy_of(read_clipboard(), second);
    EXPECT_TRUE(running());
}

// What the clipboard holds is the user's to paste: the program leaves it there
// when it ends.
TEST_F(ClipboardTest, CopiedTextStaysAfterTheProgramEnds) {
    std::string passphrase = press();
    ASSERT_EQ(passphrase.size(), 63u);
    ASSERT_TRUE(send(box_, EM_SETSEL, 0, -1));
    ASSERT_TRUE(send(box_, WM_COPY));
    ASSERT_TRUE(PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0));
    ASSERT_EQ(WaitForSingleObject(program_.process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(GetExitCodeProcess(program_.process.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    expect_private_copy_of(read_clipboard(), passphrase);
}

}  // namespace
