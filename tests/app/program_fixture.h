// The fixture of the tests that work vornelle.exe from outside: each test
// starts the real program, finds its dialog, text box and button, and ends it
// (killing it if a test left it running). VORNELLE_EXE names the program.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/main_dialog_program.h"
#include "tests/support/wine_path.h"

namespace vornelle_test {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainDialogProgram started;
        std::string failure = start_main_dialog(windows_path(VORNELLE_EXE), &started);
        ASSERT_EQ(failure, "");
        program_ = started.program;
        process_ = program_.process;
        dialog_ = program_.dialog;
        box_ = started.box;
        button_ = started.button;
    }

    void TearDown() override { stop_dialog_program(&program_); }

    bool running() { return is_running(process_); }
    HWND focused() { return focus_of(process_); }

    // Clicks the button (BM_CLICK) and reads what the box then shows.
    std::string press() {
        send(button_, BM_CLICK);
        return text_of(box_);
    }

    DialogProgram program_ = {};
    PROCESS_INFORMATION process_ = {};
    HWND dialog_ = 0;
    HWND box_ = 0;
    HWND button_ = 0;
};

}  // namespace vornelle_test
