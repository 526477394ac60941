// The program reads no option from its command line: started with arguments of
// every sort, it shows the same dialog as without any, a press gives a pass
// phrase, and closing ends it with exit code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>

#include "app/main_dialog.h"
#include "tests/support/outside_program.h"
#include "tests/support/passphrase_check.h"
#include "tests/support/window_place.h"
#include "tests/support/wine_path.h"

using namespace vornelle_test;

namespace {

std::string rect_text(const RECT& rect) {
    std::ostringstream text;
    text << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    return text.str();
}

// What a user sees of the dialog, one line per window: class, identifier,
// styles, place and text; then which control has the focus.
std::string dialog_seen(const DialogProgram& program) {
    HWND dialog = program.dialog;
    std::ostringstream seen;
    RECT window = window_rect(dialog), client = {};
    GetClientRect(dialog, &client);
    seen << std::hex << class_of(dialog) << " style " << GetWindowLongA(dialog, GWL_STYLE) << " ex "
         << GetWindowLongA(dialog, GWL_EXSTYLE) << std::dec << " window " << rect_text(window)
         << " client " << rect_text(client) << " \"" << text_of(dialog) << "\"\n";
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = rect_in(dialog, child);
        seen << std::hex << class_of(child) << " " << std::dec << GetDlgCtrlID(child) << std::hex
             << " style " << GetWindowLongA(child, GWL_STYLE) << " ex "
             << GetWindowLongA(child, GWL_EXSTYLE) << std::dec << " at " << rect_text(rect) << " \""
             << text_of(child) << "\"\n";
    }
    HWND focus = 0;
    wait_until([&] { return (focus = focus_of(program.process)) != 0; }, 2000);
    seen << "focus on " << GetDlgCtrlID(focus) << "\n";
    return seen.str();
}

struct ArgumentCase {
    const char* what;
    std::string arguments;  // what follows the quoted program name
};

TEST(CommandLine, ArgumentsChangeNothingTheUserSees) {
    std::string path = windows_path(VORNELLE_EXE);
    DialogProgram plain;
    ASSERT_EQ(start_dialog_program(path, &plain), "");
    std::string expected = dialog_seen(plain);
    stop_dialog_program(&plain);
    ASSERT_NE(expected.find(std::string("\"") + vornelle::MAIN_DIALOG_TITLE + "\""),
              std::string::npos)
        << expected;

    std::string longTail = " \"";
    while (longTail.size() < 4000) longTail += "C:\\Some Folder\\a file.txt\" /out:\"x y\" \"";
    longTail += "\"";
    const ArgumentCase cases[] = {
        {"/?", " /?"},
        {"/? right after the name", "/?"},
        {"-h and --help", " -h --help"},
        {"a long quoted tail", longTail},
        {"non-ASCII bytes", " \xE9t\xE9 \xFC\xDF\xF1 \x80\xA9\xFF"},
    };
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.what);
        DialogProgram program;
        ASSERT_EQ(start_dialog_program(path, &program, c.arguments), "");
        EXPECT_EQ(dialog_seen(program), expected);

        HWND box = GetDlgItem(program.dialog, vornelle::ID_PASSPHRASE_BOX);
        HWND button = GetDlgItem(program.dialog, vornelle::ID_GENERATE_BUTTON);
        EXPECT_TRUE(send(button, BM_CLICK));
        EXPECT_TRUE(is_passphrase(text_of(box))) << text_of(box);

        EXPECT_EQ(close_and_wait(program.dialog, program.process.hProcess, 10000), 0);
        stop_dialog_program(&program);
    }
}

}  // namespace
