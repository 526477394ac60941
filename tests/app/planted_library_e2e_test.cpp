// Libraries planted beside the program decide nothing. vornelle.exe is copied
// into a folder of its own beside hostile libraries named like system ones (a
// bcrypt.dll whose generator gives zeros, a uxtheme.dll) and run with those
// names preferred from outside the system's own: Wine's native-first override,
// under which Wine searches for them as Windows does for every library it does
// not pin to its system folder. No planted library may be loaded, and the pass
// phrases must be the system generator's, not zeros: one test for the
// library the platform loads by name, one for the generator's library.
//
// The override is the per-program one in the registry, for the copy's own
// name: Wine takes WINEDLLOVERRIDES from the Unix environment it was started
// with, so a value set by a Windows program for its child has no effect.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/outside_program.h"
#include "tests/support/passphrase_check.h"
#include "tests/support/wine_path.h"

using namespace vornelle_test;

namespace {

// Built by tests/app/CMakeLists.txt into VORNELLE_PLANTED_DIR.
const char* const PLANTED[] = {"bcrypt.dll", "uxtheme.dll"};
const char PLANTED_PROGRAM[] = "vornelle-planted.exe";
const char OVERRIDES_KEY[] = "Software\\Wine\\AppDefaults\\vornelle-planted.exe";

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every planted name preferred native (from outside the system) for the
// copy's name, for the life of a scope.
struct NativeFirstOverrides {
    bool made = false;

    NativeFirstOverrides() {
        HKEY key = 0;
        std::string path = std::string(OVERRIDES_KEY) + "\\DllOverrides";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                            NULL) != ERROR_SUCCESS) {
            return;
        }
        made = true;
        for (const char* name : PLANTED) {
            std::string module(name, strchr(name, '.') - name);
            const char order[] = "native,builtin";
            made = made && RegSetValueExA(key, module.c_str(), 0, REG_SZ, (const BYTE*)order,
                                          sizeof order) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    ~NativeFirstOverrides() { RegDeleteTreeA(HKEY_CURRENT_USER, OVERRIDES_KEY); }
};

// A fresh folder under the temporary folder, removed with what it holds.
struct ScratchFolder {
    std::string path;
    std::vector<std::string> files;

    explicit ScratchFolder(const char* label) {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        path = std::string(temp) + "vornelle-" + label + "-" +
               std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        CreateDirectoryA(path.c_str(), NULL);
    }
    ~ScratchFolder() {
        for (const std::string& file : files) DeleteFileA((path + "\\" + file).c_str());
        RemoveDirectoryA(path.c_str());
    }
    bool copy_in(const std::string& source, const std::string& name) {
        files.push_back(name);
        files.push_back(name + ".loaded");
        return CopyFileA(source.c_str(), (path + "\\" + name).c_str(), FALSE) != 0;
    }
    std::string operator/(const std::string& name) const { return path + "\\" + name; }
};

std::string planted_source(const char* name) {
    return windows_path(std::string(VORNELLE_PLANTED_DIR) + "/" + name);
}

// What the program did, run from a folder of its own beside the planted
// libraries with those names preferred native: the pass phrases of three
// presses, and the planted libraries that recorded being loaded.
struct PlantedRun {
    std::vector<std::string> passphrases;
    std::set<std::string> loaded;
};

void run_beside_planted_libraries(PlantedRun* run) {
    ScratchFolder folder("planted");
    ASSERT_TRUE(folder.copy_in(windows_path(VORNELLE_EXE), PLANTED_PROGRAM)) << folder.path;
    for (const char* name : PLANTED) {
        ASSERT_TRUE(folder.copy_in(planted_source(name), name)) << planted_source(name);
    }
    NativeFirstOverrides overrides;
    ASSERT_TRUE(overrides.made);

    DialogProgram program = {};
    ASSERT_EQ(start_dialog_program(folder / PLANTED_PROGRAM, &program), "");
    HWND box = GetDlgItem(program.dialog, 101);
    HWND button = GetDlgItem(program.dialog, 102);
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        run->passphrases.push_back(text_of(box));
    }
    // Closed normally, so that a library loaded late would have been loaded too.
    PostMessageA(program.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForSingleObject(program.process.hProcess, 10000), WAIT_OBJECT_0);
    stop_dialog_program(&program);
    for (const char* name : PLANTED) {
        if (exists(folder / (std::string(name) + ".loaded"))) run->loaded.insert(name);
    }
}

// The process-wide restriction at the program's entry: the platform loads
// uxtheme.dll by name after the entry (for the dialog's look), and without the
// restriction the planted copy beside the program is the one it finds.
TEST(PlantedLibraries, ALibraryThePlatformLoadsByNameIsNotTakenFromBesideTheProgram) {
    PlantedRun run;
    ASSERT_NO_FATAL_FAILURE(run_beside_planted_libraries(&run));
    EXPECT_EQ(run.loaded.count("uxtheme.dll"), 0u) << "the planted uxtheme.dll was loaded";
}

// The generator's library is kept out twice: by the restriction above and by
// load_system_library's own system-folder flag (which
// SystemLibrary.ALibraryBesideTheProgramIsNeverLoaded guards on its own, in a
// process without the restriction). Here the two together: the pass phrases
// are the system generator's, never the planted one's zeros.
TEST(PlantedLibraries, APlantedGeneratorDecidesNoPassphrase) {
    PlantedRun run;
    ASSERT_NO_FATAL_FAILURE(run_beside_planted_libraries(&run));
    EXPECT_EQ(run.loaded.count("bcrypt.dll"), 0u) << "the planted bcrypt.dll was loaded";
    std::set<std::string> seen;
    for (const std::string& passphrase : run.passphrases) {
        EXPECT_TRUE(is_passphrase(passphrase)) << "\"" << passphrase << "\"";
        EXPECT_NE(passphrase, std::string(63, '0')) << "the planted generator made it";
        seen.insert(passphrase);
    }
    EXPECT_EQ(seen.size(), 3u);
}

// The planted libraries do what the tests above rely on: loaded, they leave
// their record, and the planted generator gives zeros.
TEST(PlantedLibraries, RecordBeingLoadedAndGiveZeros) {
    ScratchFolder folder("control");
    for (const char* name : PLANTED) {
        // Under a name of no system library, so that the file itself is loaded.
        std::string control = std::string("control_") + name;
        ASSERT_TRUE(folder.copy_in(planted_source(name), control));
        HMODULE library = LoadLibraryExA((folder / control).c_str(), NULL,
                                         LOAD_WITH_ALTERED_SEARCH_PATH);
        ASSERT_NE(library, (HMODULE)0) << control;
        EXPECT_TRUE(exists(folder / (control + ".loaded"))) << control;
        typedef LONG(WINAPI * GenRandom)(void*, unsigned char*, ULONG, ULONG);
        GenRandom generate = (GenRandom)(void*)GetProcAddress(library, "BCryptGenRandom");
        if (std::string(name) == "bcrypt.dll") {
            ASSERT_NE(generate, (GenRandom)0);
            unsigned char bytes[16];
            memset(bytes, 0xAA, sizeof bytes);
            EXPECT_EQ(generate(NULL, bytes, sizeof bytes, 2), 0);
            for (unsigned char b : bytes) EXPECT_EQ(b, 0);
        }
        FreeLibrary(library);
    }
}

}  // namespace
