// The real program watched from inside while it is worked from outside
// (watched_program.cpp): the order of start-up, the dialog handle as the main
// function finds it, and every function the program looks up by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <string>

#include "app/main_dialog.h"
#include "tests/support/outside_program.h"
#include "tests/support/passphrase_check.h"
#include "tests/support/wine_path.h"

using namespace vornelle_test;

namespace {

class WatchedProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "vwp", 0, reportPath_);
        DeleteFileA(reportPath_);
        SetEnvironmentVariableA("VORNELLE_CHILD_REPORT", reportPath_);
        ASSERT_EQ(start_dialog_program(windows_path(WATCHED_PROGRAM_EXE), &program_), "");
    }

    void TearDown() override {
        stop_dialog_program(&program_);
        SetEnvironmentVariableA("VORNELLE_CHILD_REPORT", NULL);
        DeleteFileA(reportPath_);
    }

    // The key=value lines the program has written so far.
    std::map<std::string, std::string> report() {
        std::map<std::string, std::string> lines;
        std::ifstream file(reportPath_, std::ios::binary);
        std::string line;
        while (std::getline(file, line)) {
            size_t equals = line.find('=');
            if (equals != std::string::npos)
                lines[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return lines;
    }

    long close() { return close_and_wait(program_.dialog, program_.process.hProcess, 10000); }

    HWND control(int id) { return GetDlgItem(program_.dialog, id); }

    char reportPath_[MAX_PATH] = {};
    DialogProgram program_ = {};
};

// The library search is restricted before anything can load a library; COM
// comes next; the locks are freed after COM and the thread state, before the
// main function runs.
TEST_F(WatchedProgramTest, StartupRestrictsLibrariesThenStartsComThenFreesTheLocks) {
    EXPECT_EQ(report()["startup"],
              "SetDefaultDllDirectories(800) CoInitialize(registry held, guarded held) "
              "TlsAlloc(registry held, guarded held) main(registry free)");
    EXPECT_EQ(close(), 0);
}

TEST_F(WatchedProgramTest, MainFunctionFindsTheDialogHandleAtZero) {
    EXPECT_EQ(report()["dialog_handle_at_main"], "0");
    EXPECT_EQ(close(), 0);
}

// Start-up, presses, a copy and the end: the program looks up by name only
// the library restriction and the random generator, so it reaches no file,
// registry or network function that its import table does not show.
TEST_F(WatchedProgramTest, LooksUpOnlyTheLibraryRestrictionAndTheRandomGenerator) {
    HWND box = control(vornelle::ID_PASSPHRASE_BOX);
    HWND button = control(vornelle::ID_GENERATE_BUTTON);
    for (int press = 0; press < 2; ++press) {
        ASSERT_TRUE(send(button, BM_CLICK));
        EXPECT_TRUE(is_passphrase(text_of(box)));
    }
    ASSERT_TRUE(send(box, EM_SETSEL, 0, -1));
    ASSERT_TRUE(send(box, WM_COPY));
    ASSERT_EQ(close(), 0);

    std::map<std::string, std::string> seen = report();
    EXPECT_EQ(seen["exit"], "0");
    EXPECT_EQ(seen["lookups"], "SetDefaultDllDirectories BCryptGenRandom");
}

}  // namespace
