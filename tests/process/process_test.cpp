// Whole processes on the real entry: each case starts a child program with
// CreateProcessA and looks at its exit code and at the report its main function
// wrote (the child programs are child_report.cpp, child_no_tls.cpp and
// child_bare.cpp).
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/process/child_bare.h"

namespace {

std::string child_path(const char* name) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    std::string path(self, n);
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

struct ChildRun {
    bool ended = false;
    DWORD exitCode = 0;
    bool reported = false;
    std::map<std::string, std::string> report;
};

// Starts exe with exactly commandLine, waits for it, and reads its report.
ChildRun run_child(const std::string& exe, const std::string& commandLine, DWORD startFlags = 0,
                   WORD showWindow = 0, const char* exitCode = nullptr) {
    char folder[MAX_PATH], reportPath[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "vrt", 0, reportPath);
    DeleteFileA(reportPath);
    SetEnvironmentVariableA("VORNELLE_CHILD_REPORT", reportPath);
    SetEnvironmentVariableA("VORNELLE_CHILD_EXIT", exitCode);

    STARTUPINFOA info = {};
    info.cb = sizeof info;
    info.dwFlags = startFlags;
    info.wShowWindow = showWindow;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    ChildRun run;
    BOOL started = CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &info,
                                  &process);
    EXPECT_TRUE(started) << exe << " error " << GetLastError();
    if (!started) return run;
    run.ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!run.ended) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::ifstream file(reportPath, std::ios::binary);
    run.reported = file.good();
    std::string entry;
    while (std::getline(file, entry)) {
        size_t equals = entry.find('=');
        run.report[entry.substr(0, equals)] =
            equals == std::string::npos ? "" : entry.substr(equals + 1);
    }
    file.close();
    DeleteFileA(reportPath);
    return run;
}

const char REPORT_CHILD[] = "process_child_report.exe";

TEST(Process, ExitCodeIsTheMainFunctionsResult) {
    std::string exe = child_path(REPORT_CHILD);
    ChildRun normal = run_child(exe, "\"" + exe + "\"");
    ASSERT_TRUE(normal.ended);
    EXPECT_EQ(0u, normal.exitCode);
    EXPECT_TRUE(normal.reported);
    ChildRun other = run_child(exe, "\"" + exe + "\"", 0, 0, "42");
    ASSERT_TRUE(other.ended);
    EXPECT_EQ(42u, other.exitCode);
}

TEST(Process, MainStartsWithTheStartupValues) {
    std::string exe = child_path(REPORT_CHILD);
    ChildRun run = run_child(exe, "\"" + exe + "\"");
    ASSERT_TRUE(run.reported);
    // The control word's defined fields (bit 6 is reserved and reads back as 1).
    EXPECT_EQ(0x133Fu, std::stoul(run.report["fpu"], nullptr, 16) & 0x1F3F) << run.report["fpu"];
    EXPECT_EQ("FFFFFFFF", run.report["random_state"]);
    EXPECT_EQ("FFFFFFFF", run.report["random_last"]);
    EXPECT_EQ("0", run.report["previous"]);
    EXPECT_EQ("1", run.report["instance_is_module"]);
    EXPECT_EQ("1", run.report["record_matches"]);
    EXPECT_EQ("1", run.report["thread_state_font"]);
    EXPECT_EQ("1", run.report["registry_empty"]);
    EXPECT_EQ("1", run.report["com_already_initialised"]);
}

// The entry restricts the library search before anything else: in a child
// linked exactly as vornelle.exe is, so that nothing runs before the entry, a
// library beside the program is not found by name, though it loads by its path.
TEST(Process, ALibraryBesideTheProgramIsNotFoundByName) {
    std::string exe = child_path("process_child_bare.exe");
    ChildRun run = run_child(exe, "\"" + exe + "\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ((DWORD)BARE_CHILD_NOT_FOUND, run.exitCode)
        << (run.exitCode == (DWORD)BARE_CHILD_FOUND ? "found by name" : "the child failed");

    std::string planted = child_path("process_planted.dll");
    HMODULE direct = LoadLibraryExA(planted.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    EXPECT_NE(direct, (HMODULE)0) << planted;
    if (direct) FreeLibrary(direct);
    DeleteFileA((planted + ".loaded").c_str());
}

struct ShowCase {
    DWORD flags;
    WORD showWindow;
    const char* showCommand;
};

TEST(Process, ShowCommandComesFromTheStartupInformation) {
    const ShowCase cases[] = {
        {STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, "7"},
        {0, SW_SHOWMINNOACTIVE, "10"},
        {STARTF_USESHOWWINDOW, SW_SHOWMAXIMIZED, "3"},
    };
    std::string exe = child_path(REPORT_CHILD);
    for (const ShowCase& c : cases) {
        ChildRun run = run_child(exe, "\"" + exe + "\"", c.flags, c.showWindow);
        ASSERT_TRUE(run.reported);
        EXPECT_EQ(c.showCommand, run.report["show"]) << "flags " << c.flags;
    }
}

struct TailCase {
    std::string line;
    const char* tail;
};

TEST(Process, MainGetsTheCommandLineTail) {
    std::string exe = child_path(REPORT_CHILD);
    const TailCase cases[] = {
        {"\"" + exe + "\"  -x y", "-x y"},
        {"\"" + exe + "\"-x", "-x"},
        {"\"" + exe + "\"", ""},
        {"child.exe   a  b", "a  b"},
        {"child.exe\tword", "\tword"},
    };
    for (const TailCase& c : cases) {
        ChildRun run = run_child(exe, c.line);
        ASSERT_TRUE(run.reported) << c.line;
        EXPECT_EQ(c.tail, run.report["tail"]) << c.line;
        EXPECT_EQ("1", run.report["tail_points_into_command_line"]) << c.line;
    }
}

// Start-up that cannot give the first thread its state ends with 255 before
// the main function runs; on that path COM is uninitialised too, before the
// process ends.
TEST(Process, StartupFailuresEndWith255BeforeMain) {
    std::string exe = child_path("process_child_no_tls.exe");
    struct Case {
        const char* what;
        const char* arguments;
    };
    const Case cases[] = {{"no thread-local storage index", ""},
                          {"no memory for the first thread state", " no-memory"}};
    for (const Case& c : cases) {
        ChildRun run = run_child(exe, "\"" + exe + "\"" + c.arguments);
        ASSERT_TRUE(run.ended) << c.what;
        EXPECT_EQ(255u, run.exitCode) << c.what;
        EXPECT_EQ(run.report.count("main_ran"), 0u) << c.what << ": the main function ran";
        EXPECT_EQ("CoUninitialize ExitProcess(255)", run.report["shutdown"]) << c.what;
        EXPECT_EQ("uninitialised", run.report["com_at_exit"]) << c.what;
    }
}

// COM refusing to start is ignored: the main function runs with its start-up
// values, and shutdown still uninitialises COM before the process ends with
// the main function's result.
TEST(Process, ComRefusingToStartIsIgnoredAndStillUninitialised) {
    std::string exe = child_path(REPORT_CHILD);
    SetEnvironmentVariableA("VORNELLE_CHILD_REFUSE_COM", "1");
    ChildRun run = run_child(exe, "\"" + exe + "\"", 0, 0, "7");
    SetEnvironmentVariableA("VORNELLE_CHILD_REFUSE_COM", NULL);
    ASSERT_TRUE(run.ended);
    ASSERT_TRUE(run.reported) << "the main function never ran";
    EXPECT_EQ("1", run.report["com_refused"]) << "start-up's CoInitialize was not refused";
    EXPECT_EQ("0", run.report["com_already_initialised"]);
    EXPECT_EQ("FFFFFFFF", run.report["random_state"]);
    EXPECT_EQ("1", run.report["thread_state_font"]);
    EXPECT_EQ("1", run.report["registry_empty"]);
    EXPECT_EQ(7u, run.exitCode);
    EXPECT_EQ("TlsFree CoUninitialize ExitProcess(7)", run.report["shutdown"]);
}

// After the main function: the thread states' slot is freed, then COM is
// uninitialised, then the process ends with the main function's result.
TEST(Process, ShutdownClosesThreadStatesThenComThenEndsTheProcess) {
    std::string exe = child_path(REPORT_CHILD);
    struct Case {
        const char* exitCode;
        const char* shutdown;
    };
    const Case cases[] = {{"0", "TlsFree CoUninitialize ExitProcess(0)"},
                          {"42", "TlsFree CoUninitialize ExitProcess(42)"}};
    for (const Case& c : cases) {
        ChildRun run = run_child(exe, "\"" + exe + "\"", 0, 0, c.exitCode);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(c.shutdown, run.report["shutdown"]) << "exit code " << c.exitCode;
        EXPECT_EQ("uninitialised", run.report["com_at_exit"]) << "exit code " << c.exitCode;
    }
}

}  // namespace
