// The main dialog's parts in-process, on a real dialog laid out from the
// program's table: texts show whole in the dialog's font, the handler draws on
// the secure fill it is given and wipes what it used, a failed press empties
// the box and sounds the error, and failures of the text operations record an
// error. The main function runs here too, with its dialog refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>

#include "app/main_dialog.h"
#include "app/passphrase_box_copy.h"
#include "passphrase/random_source.h"
#include "runtime/main_function.h"
#include "runtime/startup_record.h"
#include "runtime/system_memory.h"
#include "tests/support/control_row_check.h"
#include "tests/support/import_patch.h"
#include "tests/support/toolkit_fixture.h"
#include "tests/support/window_class.h"
#include "toolkit/control_text.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"
#include "vornelle_version.h"

using namespace vornelle;
using vornelle_test::ScopedImportPatch;
using vornelle_test::ToolkitTest;

namespace {

std::string box_text(HWND dialog) {
    char text[128] = {};
    GetDlgItemTextA(dialog, ID_PASSPHRASE_BOX, text, sizeof text);
    return text;
}

bool zero_fill(void* buffer, uint32_t size) {
    memset(buffer, 0, size);
    return true;
}

bool failing_fill(void*, uint32_t) {
    return false;
}

char* failing_allocate(uint32_t) {
    return 0;
}

class MainDialogPartsTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        if (HasFatalFailure()) return;
        dialog_ = keep(build_main_dialog());
        ASSERT_NE(dialog_, (HWND)0);
        mainDialog = dialog_;
    }

    void TearDown() override {
        passphraseFill = platform_random_fill;
        systemAllocator = platform_system_allocate;
        mainDialog = 0;
        ToolkitTest::TearDown();
    }

    // The size text takes in the control's own font; wrapped at width when
    // width is given (as a left-aligned label wraps it).
    SIZE text_size(int id, const std::string& text, int width = 0) {
        HWND control = GetDlgItem(dialog_, id);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(control, WM_GETFONT, 0, 0));
        RECT rect = {0, 0, width, 0};
        UINT format = DT_CALCRECT | DT_EXPANDTABS | (width ? DT_WORDBREAK : DT_SINGLELINE);
        DrawTextA(dc, text.c_str(), (int)text.size(), &rect, format);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
        return size;
    }

    std::string text_of(int id) {
        char text[512] = {};
        GetDlgItemTextA(dialog_, id, text, sizeof text);
        return text;
    }

    HWND dialog_ = 0;
};

TEST_F(MainDialogPartsTest, EveryControlHasTheDialogFont) {
    HFONT font = (HFONT)SendMessageA(dialog_, WM_GETFONT, 0, 0);
    ASSERT_NE(font, (HFONT)0);
    LOGFONTA logFont = {};
    ASSERT_TRUE(GetObjectA(font, sizeof logFont, &logFont));
    EXPECT_STREQ(logFont.lfFaceName, "MS Sans Serif");
    HDC screen = GetDC(NULL);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(NULL, screen);
    for (const ControlRow& control : MainDialogControlTable) {
        EXPECT_EQ((HFONT)SendMessageA(GetDlgItem(dialog_, control.id), WM_GETFONT, 0, 0), font)
            << control.id;
    }
}

// The dialog's four controls as they are laid out: the class, place, styles
// and callback of each one (style 0: the kind's default).
struct LaidOut {
    int32_t id;
    const char* className;
    int32_t x, y, width, height;
    uint32_t style;
    uint32_t extendedStyle;
};
const LaidOut LAID_OUT[] = {
    {ID_INTRO_LABEL, "Static", 10, 10, 460, 40, 0, 0},
    {ID_PASSPHRASE_BOX, "Edit", 10, 50, 460, 22, 0x00810800, WS_EX_CLIENTEDGE},
    {ID_GENERATE_BUTTON, "Button", 130, 80, 220, 25, 0, 0},
    {ID_CREDIT_LABEL, "Static", 300, 110, 220, 33, 0, 0},
};

TEST_F(MainDialogPartsTest, ControlsLandWhereTheLayoutTableSays) {
    ASSERT_EQ(sizeof LAID_OUT / sizeof LAID_OUT[0], (size_t)MAIN_DIALOG_CONTROL_COUNT);
    for (int i = 0; i < MAIN_DIALOG_CONTROL_COUNT; ++i) {
        const ControlRow& row = MainDialogControlTable[i];
        const LaidOut& expected = LAID_OUT[i];
        SCOPED_TRACE(row.id);
        EXPECT_EQ(row.id, expected.id);
        EXPECT_EQ(row.x, expected.x);
        EXPECT_EQ(row.y, expected.y);
        EXPECT_EQ(row.width, expected.width);
        EXPECT_EQ(row.height, expected.height);
        EXPECT_EQ(row.style, expected.style);
        EXPECT_EQ(row.extendedStyle, expected.extendedStyle);
        EXPECT_EQ(row.callback, row.id == ID_GENERATE_BUTTON ? generate_handler : nullptr);
        vornelle_test::expect_control_as_row(dialog_, row, expected.className);
    }
    HWND box = GetDlgItem(dialog_, ID_PASSPHRASE_BOX);
    EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(IsWindowVisible(dialog_));  // controls do not show the dialog
}

// The platform refusing to make the child window with the identifier
// refusedControl, seen with a CBT hook on this thread.
INT_PTR refusedControl;
LRESULT CALLBACK refuse_one_control(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* made = ((const CBT_CREATEWNDA*)lParam)->lpcs;
        if ((made->style & WS_CHILD) && (INT_PTR)made->hMenu == refusedControl) return 1;
    }
    return CallNextHookEx(0, code, wParam, lParam);
}

class MainDialogBuildTest : public ToolkitTest {};

// Every control of the table is added whatever became of the ones before it:
// a control the platform refuses to make leaves the others standing as their
// rows say (a refused introduction still leaves the box and the button).
TEST_F(MainDialogBuildTest, EveryControlIsMadeWhicheverOneIsRefused) {
    for (const ControlRow& refused : MainDialogControlTable) {
        SCOPED_TRACE(refused.id);
        refusedControl = refused.id;
        HHOOK hook = SetWindowsHookExA(WH_CBT, refuse_one_control, NULL, GetCurrentThreadId());
        ASSERT_NE(hook, (HHOOK)0);
        HWND dialog = keep(build_main_dialog());
        UnhookWindowsHookEx(hook);
        ASSERT_NE(dialog, (HWND)0);

        EXPECT_EQ(GetDlgItem(dialog, refused.id), (HWND)0) << "the refusal did not happen";
        for (int i = 0; i < MAIN_DIALOG_CONTROL_COUNT; ++i) {
            if (MainDialogControlTable[i].id == refused.id) continue;
            vornelle_test::expect_control_as_row(dialog, MainDialogControlTable[i],
                                                 LAID_OUT[i].className);
        }
    }
}

// The box's copies carry the clipboard marks, or the box offers no copy: when
// other boxes already take every place the private copy keeps, the box is
// disabled (no focus, selection, key or menu reaches it) and still shows each
// new pass phrase.
TEST_F(MainDialogBuildTest, TheBoxCopiesWithTheMarksOrNotAtAll) {
    struct Case {
        const char* what;
        int othersAttached;
        bool attached;
    };
    const Case cases[] = {
        {"room for the box", 0, true},
        {"every place taken by other boxes", PRIVATE_COPY_BOX_MAX, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND holder = keep(CreateWindowExA(0, "STATIC", "other boxes", WS_POPUP, 0, 0, 100, 100,
                                           NULL, NULL, GetModuleHandleA(NULL), NULL));
        ASSERT_NE(holder, (HWND)0);
        for (int i = 0; i < c.othersAttached; ++i) {
            HWND other = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 50, 20, holder, NULL,
                                         GetModuleHandleA(NULL), NULL);
            ASSERT_TRUE(attach_private_copy(other)) << "other box " << i;
        }
        HWND dialog = keep(build_main_dialog());
        ASSERT_NE(dialog, (HWND)0);
        HWND box = GetDlgItem(dialog, ID_PASSPHRASE_BOX);
        ASSERT_NE(box, (HWND)0);

        EXPECT_EQ((WNDPROC)GetWindowLongPtrA(box, GWLP_WNDPROC) == private_copy_proc, c.attached);
        EXPECT_EQ(IsWindowEnabled(box) != FALSE, c.attached)
            << (c.attached ? "an attached box was disabled"
                           : "a box without the marks was left to copy");
        mainDialog = dialog;
        generate_handler(dialog, WM_COMMAND, ID_GENERATE_BUTTON, 0);
        mainDialog = 0;
        EXPECT_EQ(box_text(dialog).size(), (size_t)PASSPHRASE_LENGTH);

        // The other boxes go, and free their places, with their holder.
        DestroyWindow(dialog);
        DestroyWindow(holder);
    }
}

// The dialog itself: the title the tests that work the program from outside
// look for, the name and the version (the file VERSION), and a client area of 480 x 165 pixels under a caption with a
// system menu and a minimise box.
TEST_F(MainDialogPartsTest, DialogHasItsTitleSizeAndFrame) {
    EXPECT_STREQ(MAIN_DIALOG_TITLE, "Vornelle   v " VORNELLE_VERSION_TEXT);
    char title[64] = {};
    GetWindowTextA(dialog_, title, sizeof title);
    EXPECT_STREQ(title, "Vornelle   v " VORNELLE_VERSION_TEXT);
    EXPECT_EQ(MAIN_DIALOG_STYLE, (uint32_t)(WS_SYSMENU | WS_MINIMIZEBOX));
    RECT client = {};
    GetClientRect(dialog_, &client);
    EXPECT_EQ(client.right - client.left, 480);
    EXPECT_EQ(client.bottom - client.top, 165);
}

// A label clips what does not fit in it, and the credit label reaches 40
// pixels beyond the dialog's right edge: every word must lie inside both.
TEST_F(MainDialogPartsTest, LabelTextsShowWhole) {
    std::string intro = text_of(ID_INTRO_LABEL);
    ASSERT_EQ(intro.size(), INTRO_TEXT_LENGTH);
    EXPECT_LE(text_size(ID_INTRO_LABEL, intro, 460).cy, 40);

    std::string credit = text_of(ID_CREDIT_LABEL);
    SIZE size = text_size(ID_CREDIT_LABEL, credit, 220);
    EXPECT_LE(size.cx, MAIN_DIALOG_WIDTH - 300) << credit;
    EXPECT_EQ(size.cy, text_size(ID_CREDIT_LABEL, "Xg").cy) << "not on one line: " << credit;
}

// The box has no horizontal scrolling: it shows only what fits in its width.
TEST_F(MainDialogPartsTest, PassphrasesFitInTheBox) {
    HWND box = GetDlgItem(dialog_, ID_PASSPHRASE_BOX);
    RECT room = {};
    SendMessageA(box, EM_GETRECT, 0, (LPARAM)&room);
    // With this font a random pass phrase is 389 pixels wide on average and
    // wider than 452 with a chance near 4e-7.
    int widest = 0;
    for (int i = 0; i < 100; ++i) {
        generate_handler(dialog_, WM_COMMAND, ID_GENERATE_BUTTON, 0);
        std::string passphrase = text_of(ID_PASSPHRASE_BOX);
        ASSERT_EQ(passphrase.size(), 63u);
        int width = text_size(ID_PASSPHRASE_BOX, passphrase).cx;
        if (width > widest) widest = width;
    }
    EXPECT_LE(widest, room.right - room.left);
}

TEST_F(MainDialogPartsTest, PassphraseComesFromTheSecureFill) {
    passphraseFill = zero_fill;
    EXPECT_EQ(generate_handler(dialog_, WM_COMMAND, ID_GENERATE_BUTTON, 0), 0);
    EXPECT_EQ(box_text(dialog_), std::string(63, '0'));
}

// The handler fills the box of the main dialog, the one the dialog-handle
// variable names, whatever window the event it is called for names.
TEST_F(MainDialogPartsTest, HandlerFillsTheDialogTheVariableNames) {
    HWND other = keep(build_main_dialog());
    ASSERT_NE(other, (HWND)0);
    passphraseFill = zero_fill;
    struct Case {
        const char* what;
        HWND passed;
    };
    const Case cases[] = {{"another dialog", other}, {"no window", 0}};
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog_, ID_PASSPHRASE_BOX, "");
        EXPECT_EQ(generate_handler(c.passed, WM_COMMAND, ID_GENERATE_BUTTON, 0), 0) << c.what;
        EXPECT_EQ(box_text(dialog_), std::string(63, '0')) << c.what;
        EXPECT_EQ(box_text(other), "") << c.what;
    }
}

// Every command of the button makes a new pass phrase, whatever its
// notification code.
TEST_F(MainDialogPartsTest, EveryCommandOfTheButtonMakesAPassphrase) {
    HWND button = GetDlgItem(dialog_, ID_GENERATE_BUTTON);
    const WORD codes[] = {BN_CLICKED, BN_DOUBLECLICKED, BN_SETFOCUS, BN_KILLFOCUS, 0x7FFF, 0xFFFF};
    std::string previous = box_text(dialog_);
    for (WORD code : codes) {
        SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(ID_GENERATE_BUTTON, code), (LPARAM)button);
        std::string shown = box_text(dialog_);
        EXPECT_EQ(shown.size(), 63u) << "code " << code;
        EXPECT_NE(shown, previous) << "code " << code;
        previous = shown;
    }
}

TEST_F(MainDialogPartsTest, ButtonClickRunsTheHandler) {
    passphraseFill = zero_fill;
    SendMessageA(GetDlgItem(dialog_, ID_GENERATE_BUTTON), BM_CLICK, 0, 0);
    EXPECT_EQ(box_text(dialog_), std::string(63, '0'));
}

// The platform's generator refusing its work: a buffer it cannot write to.
bool refused_fill(void*, uint32_t size) {
    return platform_random_fill(nullptr, size);
}

// MessageBeep as the program calls it, counted instead of sounded.
int beepCount;
UINT lastBeep;
BOOL WINAPI record_beep(UINT type) {
    ++beepCount;
    lastBeep = type;
    return TRUE;
}

// The text box out of memory, as an edit control answers then: it refuses
// every text but the empty one.
WNDPROC boxProcedure;
LRESULT CALLBACK box_out_of_memory(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && lParam && *(const char*)lParam) return FALSE;
    return CallWindowProcA(boxProcedure, box, message, wParam, lParam);
}

// A press that makes no pass phrase, or whose pass phrase the box refuses,
// must not leave the previous one on show as if it were new: the box is
// emptied and the error sound plays.
TEST_F(MainDialogPartsTest, FailedPressEmptiesTheBoxAndSoundsTheError) {
    ScopedImportPatch beep("user32.dll", "MessageBeep", (void*)record_beep);
    ASSERT_NE(beep.original, nullptr) << "the program never calls MessageBeep";
    HWND box = GetDlgItem(dialog_, ID_PASSPHRASE_BOX);
    struct Case {
        const char* what;
        RandomFill fill;
        bool boxRefuses;
    };
    const Case cases[] = {{"a failing fill", failing_fill, false},
                          {"the platform refusing the fill", refused_fill, false},
                          {"the box refusing the pass phrase", platform_random_fill, true}};
    for (const Case& c : cases) {
        set_control_text(dialog_, ID_PASSPHRASE_BOX, "previous");
        beepCount = 0;
        lastBeep = 0;
        passphraseFill = c.fill;
        if (c.boxRefuses) {
            boxProcedure =
                (WNDPROC)SetWindowLongPtrA(box, GWLP_WNDPROC, (LONG_PTR)box_out_of_memory);
        }
        EXPECT_EQ(generate_handler(dialog_, WM_COMMAND, ID_GENERATE_BUTTON, 0), 0) << c.what;
        if (c.boxRefuses) SetWindowLongPtrA(box, GWLP_WNDPROC, (LONG_PTR)boxProcedure);
        EXPECT_EQ(box_text(dialog_), "") << c.what;
        EXPECT_EQ(beepCount, 1) << c.what;
        EXPECT_EQ(lastBeep, (UINT)MB_ICONERROR) << c.what;
    }

    beepCount = 0;
    passphraseFill = platform_random_fill;
    generate_handler(dialog_, WM_COMMAND, ID_GENERATE_BUTTON, 0);
    EXPECT_EQ(box_text(dialog_).size(), 63u);
    EXPECT_EQ(beepCount, 0) << "a press that made a pass phrase sounded the error";
}

// Where one press's secrets went: the random words where the fill wrote them,
// and the pass phrase where the program handed it to the platform.
const volatile unsigned char* wordsSeen;
uint32_t wordsSize;
bool marked_fill(void* buffer, uint32_t size) {
    wordsSeen = (const volatile unsigned char*)buffer;
    wordsSize = size;
    unsigned char* bytes = (unsigned char*)buffer;
    for (uint32_t i = 0; i < size; ++i) bytes[i] = (unsigned char)(0x5A ^ (i * 7)) | 1;
    return true;
}

// The random words' bytes not yet zero (the fill made every one non-zero).
uint32_t word_bytes_left() {
    uint32_t left = 0;
    for (uint32_t i = 0; wordsSeen && i < wordsSize; ++i) left += wordsSeen[i] != 0;
    return left;
}

HWND boxWatched;
const volatile char* textSeen;
uint32_t wordBytesLeftAtShow;
BOOL(WINAPI* platformSetWindowText)(HWND, LPCSTR);
BOOL WINAPI record_set_window_text(HWND window, LPCSTR text) {
    if (window == boxWatched) {
        textSeen = text;
        wordBytesLeftAtShow = word_bytes_left();
    }
    return platformSetWindowText(window, text);
}

// After a press that made a pass phrase, the program's own buffers hold
// nothing of it: the secure source's random words and the pass phrase that
// the builder wrote for the handler are zero once the handler returns.
//
// The words are counted while the handler's frame is alive, when the pass
// phrase is handed to the box: by then they are wiped. The pass phrase is
// wiped only after that call, so it is counted in the handler's frame after
// it has returned. That holds because nothing writes there in between: the
// test calls nothing before counting (the loops run in its own frame, above
// the handler's), Wine runs its signal handlers on a stack of their own, and
// no asynchronous call runs on this thread outside an alertable wait.
TEST_F(MainDialogPartsTest, SuccessfulPressLeavesItsBuffersZeroed) {
    ScopedImportPatch patch("user32.dll", "SetWindowTextA", (void*)record_set_window_text);
    ASSERT_NE(patch.original, nullptr);
    platformSetWindowText = (BOOL(WINAPI*)(HWND, LPCSTR))patch.original;
    boxWatched = GetDlgItem(dialog_, ID_PASSPHRASE_BOX);
    wordsSeen = 0;
    textSeen = 0;
    wordBytesLeftAtShow = ~0u;
    passphraseFill = marked_fill;

    generate_handler(dialog_, WM_COMMAND, ID_GENERATE_BUTTON, 0);
    uint32_t textBytesLeft = 0;
    if (textSeen) {
        for (int i = 0; i <= PASSPHRASE_LENGTH; ++i) textBytesLeft += textSeen[i] != 0;
    }

    ASSERT_NE(wordsSeen, nullptr);
    ASSERT_NE(textSeen, nullptr);
    EXPECT_EQ(wordsSize, 4u * PASSPHRASE_MAX_DRAWS);
    std::string shown = box_text(dialog_);
    ASSERT_EQ(shown.size(), 63u) << "no pass phrase was made";
    EXPECT_EQ(wordBytesLeftAtShow, 0u) << "random words left behind";
    EXPECT_EQ(textBytesLeft, 0u) << "pass phrase left behind";
}

// The making of a dialog window on this thread, watched with a CBT hook: the
// random source's state at that moment, and, when asked, the platform refusing
// to make the window.
struct DialogCreationWatch {
    bool refuse;
    int dialogsMade;
    uint32_t stateThen;
};
DialogCreationWatch creationWatch;

LRESULT CALLBACK watch_dialog_creation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char name[16] = {};
        GetClassNameA((HWND)wParam, name, sizeof name);
        if (strcmp(name, "#32770") == 0) {
            ++creationWatch.dialogsMade;
            creationWatch.stateThen = randomSource.state;
            if (creationWatch.refuse) return 1;
        }
    }
    return CallNextHookEx(0, code, wParam, lParam);
}

BOOL CALLBACK destroy_dialog_window(HWND window, LPARAM) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0) DestroyWindow(window);
    return TRUE;
}

// The main function, run here: when its dialog cannot be made it sounds the
// error and returns 1 at once, showing nothing and leaving no window with the
// focus (a window of the thread had it before), and it has seeded the random
// source before the dialog window is made.
TEST(MainFunction, FailsAtOnceWithTheErrorSoundWhenItsDialogCannotBeMade) {
    ScopedImportPatch beep("user32.dll", "MessageBeep", (void*)record_beep);
    ASSERT_NE(beep.original, nullptr);
    startupRecord.instance = GetModuleHandleA(NULL);
    if (stateSlot == TLS_OUT_OF_INDEXES) {
        ASSERT_TRUE(open_thread_states());
    }
    struct Case {
        const char* what;
        bool refuse;
        SystemAllocator allocator;
    };
    const Case cases[] = {
        {"the platform refuses the dialog window", true, platform_system_allocate},
        {"no memory for the dialog's record", false, failing_allocate},
    };
    HWND focused = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 50,
                                   NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(focused, (HWND)0);
    for (const Case& c : cases) {
        SetFocus(focused);
        ASSERT_EQ(GetFocus(), focused) << c.what;
        reset_random_source();
        creationWatch = {c.refuse, 0, 0};
        HHOOK hook = SetWindowsHookExA(WH_CBT, watch_dialog_creation, NULL, GetCurrentThreadId());
        ASSERT_NE(hook, (HHOOK)0);
        systemAllocator = c.allocator;
        beepCount = 0;
        lastBeep = 0;
        ULONGLONG start = GetTickCount64();
        int32_t result = application_main(startupRecord.instance, 0, "", SW_SHOWDEFAULT);
        ULONGLONG elapsed = GetTickCount64() - start;
        systemAllocator = platform_system_allocate;
        UnhookWindowsHookEx(hook);
        EnumThreadWindows(GetCurrentThreadId(), destroy_dialog_window, 0);

        EXPECT_EQ(result, 1) << c.what;
        EXPECT_EQ(beepCount, 1) << c.what;
        EXPECT_EQ(lastBeep, (UINT)MB_ICONERROR) << c.what;
        EXPECT_LT(elapsed, 2000u) << c.what;
        EXPECT_EQ(mainDialog, (HWND)0) << c.what;
        EXPECT_EQ(GetFocus(), (HWND)0) << c.what << ": a window kept the focus";
        ASSERT_EQ(creationWatch.dialogsMade, 1) << c.what;
        EXPECT_NE(creationWatch.stateThen, RANDOM_UNSEEDED)
            << c.what << ": not seeded before the dialog was made";
        // Seeded from the time of day: a single-precision number of seconds
        // within a day, and no draw since.
        float seededWith;
        memcpy(&seededWith, &creationWatch.stateThen, sizeof seededWith);
        EXPECT_GE(seededWith, 0.0f) << c.what;
        EXPECT_LE(seededWith, 86400.0f) << c.what;
        EXPECT_EQ(randomSource.state, creationWatch.stateThen) << c.what;
    }
    DestroyWindow(focused);
    mainDialog = 0;
}

TEST(IntroText, IsPutTogetherWhole) {
    ActivationRecord activation = {};
    Text intro = {};
    build_intro_text(&activation, &intro);
    EXPECT_EQ(activation.errorWord, 0);
    EXPECT_EQ(text_length(intro), INTRO_TEXT_LENGTH);
    EXPECT_EQ(strncmp(text_chars(intro), "This will generate a \"safe\" WPA", 31), 0);
    text_free(&intro);
}

TEST(IntroText, OutOfMemoryIsRecordedInTheCallersWord) {
    ActivationRecord activation = {};
    Text intro = {};
    systemAllocator = failing_allocate;
    build_intro_text(&activation, &intro);
    systemAllocator = platform_system_allocate;
    EXPECT_EQ(activation.errorWord, 0xB007);
    EXPECT_EQ(text_length(intro), 0u);
    text_free(&intro);
}

}  // namespace
