// Libraries from the system folder only, on the real platform: the system's
// own library is found there by both ways of loading, a library beside the
// program never is, and a name with a folder in it is refused.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "runtime/system_library.h"

using namespace vornelle;

namespace {

// Beside this test program (tests/runtime/CMakeLists.txt builds it there).
const char PLANTED_NAME[] = "runtime_planted.dll";

std::string folder_of(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/"));
}

std::string module_path(HMODULE module) {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, length);
}

std::string system_folder() {
    char folder[MAX_PATH] = {};
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder, length);
}

typedef HMODULE (*Loader)(const char* name);

struct LoaderCase {
    const char* what;
    Loader load;
};

const LoaderCase LOADERS[] = {
    {"load_system_library", load_system_library},
    {"load_system_library_by_path", load_system_library_by_path},
};

TEST(SystemLibrary, TheSystemsOwnLibraryComesFromTheSystemFolder) {
    for (const LoaderCase& loader : LOADERS) {
        for (const char* name : {"bcrypt.dll", "KERNEL32.DLL"}) {
            HMODULE library = loader.load(name);
            ASSERT_NE(library, (HMODULE)0) << loader.what << " " << name;
            EXPECT_EQ(_stricmp(folder_of(module_path(library)).c_str(), system_folder().c_str()), 0)
                << loader.what << " " << name << ": " << module_path(library);
            FreeLibrary(library);
        }
    }
}

TEST(SystemLibrary, ALibraryBesideTheProgramIsNeverLoaded) {
    std::string planted = folder_of(module_path(NULL)) + "\\" + PLANTED_NAME;
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES) << planted;
    for (const LoaderCase& loader : LOADERS) {
        EXPECT_EQ(loader.load(PLANTED_NAME), (HMODULE)0) << loader.what;
        EXPECT_EQ(loader.load("no_such_library.dll"), (HMODULE)0) << loader.what;
    }
    // The planted library itself loads when named by its path: the refusal
    // above is the search's, not a broken file's.
    HMODULE direct = LoadLibraryExA(planted.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    EXPECT_NE(direct, (HMODULE)0);
    if (direct) FreeLibrary(direct);
    DeleteFileA((planted + ".loaded").c_str());
}

TEST(SystemLibrary, ANameWithAFolderIsRefused) {
    std::string full = system_folder() + "\\bcrypt.dll";
    const char* names[] = {full.c_str(), "..\\bcrypt.dll", "system32/bcrypt.dll",
                           "C:bcrypt.dll", "", nullptr};
    for (const LoaderCase& loader : LOADERS) {
        for (const char* name : names) {
            EXPECT_EQ(loader.load(name), (HMODULE)0)
                << loader.what << " " << (name ? name : "null");
        }
    }
}

TEST(SystemLibrary, PathIsFolderBackslashNameWhenItFits) {
    struct Case {
        const char* folder;
        const char* name;
        uint32_t size;
        const char* path;  // null: does not fit
    };
    const Case cases[] = {
        {"C:\\Windows\\system32", "bcrypt.dll", MAX_PATH, "C:\\Windows\\system32\\bcrypt.dll"},
        {"C:\\W", "b.dll", 11, "C:\\W\\b.dll"},  // exactly the length and the NUL
        {"C:\\W", "b.dll", 10, nullptr},
        {"C:\\W", "b.dll", 0, nullptr},
    };
    for (const Case& c : cases) {
        char path[MAX_PATH];
        memset(path, 'x', sizeof path);
        bool fits = system_library_path(c.folder, c.name, path, c.size);
        EXPECT_EQ(fits, c.path != nullptr) << c.folder << " " << c.name << " " << c.size;
        if (c.path && fits) {
            EXPECT_STREQ(path, c.path);
        }
        if (!c.path) {
            EXPECT_EQ(path[0], 'x') << "written although it does not fit";
        }
    }
}

}  // namespace
