// Control text and focus by identifier on real dialogs: the text replaced whole
// (up to a NUL), the caller's floating-point state intact even when a callback
// nested in the platform call changes it, unknown identifiers, and controls
// that the registry does not know.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <string>

#include "dispatch_support.h"
#include "runtime/fpu.h"
#include "toolkit/control_text.h"

using namespace vornelle;
using namespace vornelle_test;

namespace {

std::string text_of(HWND window) {
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

using ControlTextTest = ToolkitWindowTest;

TEST_F(ControlTextTest, ReplacesTheWholeTextUpToTheFirstNul) {
    struct Case {
        const char* name;
        const char* text;
        const char* shown;
    };
    const std::string longText(63, 'Z');
    const Case cases[] = {
        {"replaced", "new", "new"},
        {"empty", "", ""},
        {"NUL inside", "abc\0def", "abc"},
        {"absent", nullptr, ""},
        {"pass phrase length", longText.c_str(), longText.c_str()},
    };
    HWND dialog = make_dialog();
    // The read-only style limits only the user's editing.
    HWND readOnly = make_control(TextBox, dialog, 101, nullptr, "old text",
                                 ControlClassTable[TextBox].defaultStyle | ES_READONLY);
    HWND label = make_control(Label, dialog, 111, nullptr, "old label");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextA(readOnly, "previous contents, longer than any new one");
        SetWindowTextA(label, "previous label");
        set_control_text(dialog, 101, c.text);
        set_control_text(dialog, 111, c.text);
        EXPECT_EQ(text_of(readOnly), c.shown);
        EXPECT_EQ(text_of(label), c.shown);
    }
}

TEST_F(ControlTextTest, ControlWithoutRecordIsServed) {
    HWND dialog = make_dialog();
    ShowWindow(dialog, SW_SHOW);
    HWND plain = CreateWindowExA(0, "EDIT", "orig", WS_CHILD | WS_VISIBLE, 5, 5, 80, 20, dialog,
                                 (HMENU)950, GetModuleHandleA(NULL), 0);
    ASSERT_NE(plain, (HWND)0);
    ASSERT_EQ(find_record(plain), nullptr);

    EXPECT_EQ(control_handle(dialog, 950), plain);
    set_control_text(dialog, 950, "served");
    EXPECT_EQ(text_of(plain), "served");
    focus_control(dialog, 950);
    EXPECT_EQ(GetFocus(), plain);
}

TEST_F(ControlTextTest, ControlHandleFindsOnlyChildrenOfTheDialog) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, nullptr, "b");
    HWND other = make_dialog();
    EXPECT_EQ(control_handle(dialog, 102), button);
    EXPECT_EQ(control_handle(other, 102), (HWND)0);
    EXPECT_EQ(control_handle(dialog, 103), (HWND)0);
    EXPECT_EQ(control_handle(0, 102), (HWND)0);
    DestroyWindow(other);
    EXPECT_EQ(control_handle(other, 102), (HWND)0);
}

TEST_F(ControlTextTest, FocusMovesToTheControl) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, nullptr, "b");
    HWND edit = make_control(TextBox, dialog, 101, nullptr, "e");
    ShowWindow(dialog, SW_SHOW);
    focus_control(dialog, 102);
    EXPECT_EQ(GetFocus(), button);
    focus_control(dialog, 101);
    EXPECT_EQ(GetFocus(), edit);
}

TEST_F(ControlTextTest, UnknownIdentifierChangesNoTextAndTakesTheFocusAway) {
    HWND dialog = make_dialog();
    HWND button = make_control(PushButton, dialog, 102, nullptr, "button");
    HWND edit = make_control(TextBox, dialog, 101, nullptr, "edit");
    SetWindowTextA(dialog, "title");
    ShowWindow(dialog, SW_SHOW);
    focus_control(dialog, 101);
    ASSERT_EQ(GetFocus(), edit);

    set_control_text(dialog, 999, "changed");
    set_control_text(0, 101, "changed");
    EXPECT_EQ(text_of(button), "button");
    EXPECT_EQ(text_of(edit), "edit");
    EXPECT_EQ(text_of(dialog), "title");

    focus_control(dialog, 999);
    EXPECT_EQ(GetFocus(), (HWND)0);
}

#if defined(__GNUC__) && defined(__i386__)

// The FNSAVE image: control word, status word, tag word, then the eight
// 80-bit registers from offset 28.
uint16_t word_at(const FpuState& state, size_t offset) {
    uint16_t word;
    memcpy(&word, state.image + offset, sizeof word);
    return word;
}
const size_t CONTROL_WORD = 0, STATUS_WORD = 4, TAG_WORD = 8, REGISTERS = 28;

// With two values on the x87 stack and the given control word, calls fn; the
// unit's images just before and just after the call come back.
void call_with_loaded_unit(void (*fn)(), uint16_t controlWord, FpuState* before,
                           FpuState* after) {
    __asm__ __volatile__(
        "fninit\n\t"
        "fldcw %[cw]\n\t"
        "fldpi\n\t"
        "fld1\n\t"
        "fnsave %[before]\n\t"
        "frstor %[before]\n\t"
        "call *%[fn]\n\t"
        "fnsave %[after]\n\t"
        : [before] "=m"(before->image), [after] "=m"(after->image)
        : [fn] "r"(fn), [cw] "m"(controlWord)
        : "eax", "ecx", "edx", "memory", "cc");
}

HWND fpuDialog;
int nestedCalls;
uint16_t nestedControlWord;
uint16_t nestedTagWord;

// The edit's callback, run inside SetWindowTextA: notes the unit it finds, then
// leaves a different control word behind.
LONG_PTR meddling_callback(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE) return 0;
    ++nestedCalls;
    FpuState state;
    fpu_save(&state);
    nestedControlWord = word_at(state, CONTROL_WORD);
    nestedTagWord = word_at(state, TAG_WORD);
    fpu_restore(&state);
    fpu_set_control_word(0x0C7F);  // round toward zero, 24-bit significand
    return 0;
}

void set_text_under_test() { set_control_text(fpuDialog, 101, "nested change"); }

TEST_F(ControlTextTest, FloatingPointStateSurvivesANestedCallback) {
    fpuDialog = make_dialog();
    make_control(TextBox, fpuDialog, 101, meddling_callback, "before");
    nestedCalls = 0;
    uint16_t testWord = fpu_control_word();

    FpuState before, after;
    call_with_loaded_unit(set_text_under_test, FPU_PROCESS_CONTROL_WORD, &before, &after);
    fpu_set_control_word(testWord);

    ASSERT_EQ(text_of(GetDlgItem(fpuDialog, 101)), "nested change");
    ASSERT_GE(nestedCalls, 1);  // the callback did run inside the call
    // The nested code found a freshly initialised unit.
    EXPECT_EQ(nestedControlWord, 0x037F);
    EXPECT_EQ(nestedTagWord, 0xFFFF);
    // The caller got back its own unit: control word, status, tags, registers.
    // (Bit 6 of the control word is reserved and always reads as 1.)
    EXPECT_EQ(word_at(before, CONTROL_WORD), FPU_PROCESS_CONTROL_WORD | 0x40);
    EXPECT_NE(word_at(before, TAG_WORD), 0xFFFF);
    EXPECT_EQ(word_at(after, CONTROL_WORD), word_at(before, CONTROL_WORD));
    EXPECT_EQ(word_at(after, STATUS_WORD), word_at(before, STATUS_WORD));
    EXPECT_EQ(word_at(after, TAG_WORD), word_at(before, TAG_WORD));
    EXPECT_EQ(memcmp(after.image + REGISTERS, before.image + REGISTERS, 80), 0);
}

#endif

}  // namespace
