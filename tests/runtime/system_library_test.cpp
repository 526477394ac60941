// Libraries from the system folder only, on the real platform: the system's
// own library is found there by both ways of loading, a library beside the
// program never is (though this process's search would find it), a name with
// a folder in it is refused, and where the platform refuses the search flag the
// library is loaded by the system folder's full path.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "runtime/system_library.h"
#include "tests/support/import_patch.h"

using namespace vornelle;
using vornelle_test::ScopedImportPatch;

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

// Where this process's system libraries really are. A 32-bit program on
// 64-bit Windows (WoW64) is given system32 as its system folder, and the
// platform redirects that name to SysWOW64, which is the path its loaded
// libraries report; elsewhere it is the system folder itself.
std::string loaded_system_folder() {
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    typedef UINT(WINAPI * Wow64FolderFunction)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFunction is_wow64 =
        (IsWow64ProcessFunction)(void*)GetProcAddress(kernel, "IsWow64Process");
    Wow64FolderFunction wow64_folder =
        (Wow64FolderFunction)(void*)GetProcAddress(kernel, "GetSystemWow64DirectoryA");
    BOOL wow64 = FALSE;
    if (!is_wow64 || !is_wow64(GetCurrentProcess(), &wow64) || !wow64) return system_folder();
    char folder[MAX_PATH] = {};
    UINT length = wow64_folder ? wow64_folder(folder, sizeof folder) : 0;
    EXPECT_NE(length, 0u) << "a WoW64 process without a WoW64 system folder";
    return std::string(folder, length);
}

// The same file, whatever the names: volume and file index of open handles.
bool same_file(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::string* paths[] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileA(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) return false;
        BOOL read = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!read) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
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
            std::string path = module_path(library);
            // Wine's WoW64 keeps the system32 name, Windows reports SysWOW64:
            // either is this process's system folder, and the file is the one
            // that the system folder's name leads to.
            std::string folder = folder_of(path);
            EXPECT_TRUE(_stricmp(folder.c_str(), loaded_system_folder().c_str()) == 0 ||
                        _stricmp(folder.c_str(), system_folder().c_str()) == 0)
                << loader.what << " " << name << ": " << path;
            EXPECT_TRUE(same_file(path, system_folder() + "\\" + name))
                << loader.what << " " << name << ": " << path;
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
    // This process's search is not restricted: a plain load by name finds the
    // planted library, so the refusals above are load_system_library's own.
    HMODULE byName = LoadLibraryA(PLANTED_NAME);
    EXPECT_NE(byName, (HMODULE)0);
    if (byName) FreeLibrary(byName);
    DeleteFileA((planted + ".loaded").c_str());
}

// LoadLibraryExA as a platform without the search flags answers it: any call
// with LIBRARY_SEARCH_SYSTEM_FOLDER fails with refusalError; other calls are
// the platform's, and their names are kept.
DWORD refusalError;
std::string loadedByName;
HMODULE(WINAPI* platformLoadEx)(LPCSTR, HANDLE, DWORD);
HMODULE WINAPI refusing_load_ex(LPCSTR name, HANDLE file, DWORD flags) {
    if (flags & LIBRARY_SEARCH_SYSTEM_FOLDER) {
        SetLastError(refusalError);
        return NULL;
    }
    loadedByName = name;
    return platformLoadEx(name, file, flags);
}

struct RefusalCase {
    const char* what;
    DWORD error;
    bool fallsBack;  // on to the system folder's full path
};

// No platform here refuses the flag, so the refusal is injected into the
// program's own import of LoadLibraryExA.
TEST(SystemLibrary, ARefusedFlagFallsBackToTheSystemFoldersFullPath) {
    const RefusalCase cases[] = {
        {"the flag refused as unknown", ERROR_INVALID_PARAMETER, true},
        {"the library not found", ERROR_MOD_NOT_FOUND, false},
    };
    for (const RefusalCase& c : cases) {
        ScopedImportPatch patch("kernel32.dll", "LoadLibraryExA", (void*)refusing_load_ex);
        ASSERT_NE(patch.original, nullptr);
        platformLoadEx = (HMODULE(WINAPI*)(LPCSTR, HANDLE, DWORD))patch.original;
        refusalError = c.error;
        loadedByName.clear();

        HMODULE library = load_system_library("bcrypt.dll");
        EXPECT_EQ(library != NULL, c.fallsBack) << c.what;
        EXPECT_EQ(loadedByName, c.fallsBack ? system_folder() + "\\bcrypt.dll" : "") << c.what;
        if (library) {
            EXPECT_EQ(_stricmp(module_path(library).c_str(),
                               (system_folder() + "\\bcrypt.dll").c_str()),
                      0)
                << module_path(library);
            FreeLibrary(library);
        }
        // The fallback never reaches beyond the system folder.
        EXPECT_EQ(load_system_library(PLANTED_NAME), (HMODULE)0) << c.what;
    }
    DeleteFileA((folder_of(module_path(NULL)) + "\\" + PLANTED_NAME + ".loaded").c_str());
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
