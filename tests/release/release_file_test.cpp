// Tests of the released i686 vornelle.exe as a file, run by a test program of
// either architecture: a small 32-bit GUI program with ASLR and DEP that
// imports exactly the functions on its allowlist; its version information,
// manifest and icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/wine_path.h"
#include "vornelle_version.h"

namespace {

std::string program_path() { return vornelle_test::windows_path(VORNELLE_RELEASE_EXE); }

std::vector<unsigned char> read_program() {
    std::ifstream file(program_path(), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file),
                                      std::istreambuf_iterator<char>());
}

std::string lower(std::string text) {
    for (char& c : text) c = (char)tolower((unsigned char)c);
    return text;
}

// The parts of a PE32 image that the tests read.
struct ProgramImage {
    std::vector<unsigned char> bytes;
    const IMAGE_NT_HEADERS32* headers = nullptr;

    template <typename T>
    const T* at(size_t offset) const {
        if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return nullptr;
        return (const T*)&bytes[offset];
    }

    // File offset of a relative virtual address, or 0 outside every section.
    size_t offset_of(DWORD rva) const {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
        for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
            DWORD size = section->Misc.VirtualSize ? section->Misc.VirtualSize
                                                   : section->SizeOfRawData;
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) {
                return rva - section->VirtualAddress + section->PointerToRawData;
            }
        }
        return 0;
    }

    std::string string_at(DWORD rva) const {
        size_t offset = offset_of(rva);
        std::string text;
        while (offset && offset < bytes.size() && bytes[offset]) text += (char)bytes[offset++];
        return text;
    }
};

ProgramImage load_program() {
    ProgramImage image;
    image.bytes = read_program();
    const IMAGE_DOS_HEADER* dos = image.at<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return image;
    const IMAGE_NT_HEADERS32* headers = image.at<IMAGE_NT_HEADERS32>(dos->e_lfanew);
    if (!headers || headers->Signature != IMAGE_NT_SIGNATURE) return image;
    image.headers = headers;
    return image;
}

// Imported functions by library (lower-case name); ordinals as "#n".
std::map<std::string, std::vector<std::string>> imports_of(const ProgramImage& image) {
    std::map<std::string, std::vector<std::string>> imports;
    const IMAGE_DATA_DIRECTORY& directory =
        image.headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t offset = image.offset_of(directory.VirtualAddress);
    for (const IMAGE_IMPORT_DESCRIPTOR* entry = image.at<IMAGE_IMPORT_DESCRIPTOR>(offset);
         entry && entry->Name; entry = image.at<IMAGE_IMPORT_DESCRIPTOR>(offset += sizeof *entry)) {
        std::vector<std::string>& functions = imports[lower(image.string_at(entry->Name))];
        DWORD thunks = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        size_t thunkOffset = image.offset_of(thunks);
        for (const DWORD* thunk = image.at<DWORD>(thunkOffset); thunk && *thunk;
             thunk = image.at<DWORD>(thunkOffset += sizeof(DWORD))) {
            if (*thunk & IMAGE_ORDINAL_FLAG32) {
                functions.push_back("#" + std::to_string(*thunk & 0xFFFF));
            } else {
                functions.push_back(image.string_at(*thunk + 2));
            }
        }
    }
    return imports;
}

// The program's data directory entry is empty: no such directory.
void expect_no_directory(int entry) {
    ProgramImage image = load_program();
    ASSERT_NE(image.headers, nullptr);
    const IMAGE_DATA_DIRECTORY& directory = image.headers->OptionalHeader.DataDirectory[entry];
    EXPECT_EQ(directory.VirtualAddress, 0u) << "directory " << entry;
    EXPECT_EQ(directory.Size, 0u) << "directory " << entry;
}

TEST(ReleaseFile, IsASmall32BitGuiProgramWithHardening) {
    ProgramImage image = load_program();
    ASSERT_FALSE(image.bytes.empty()) << "cannot read " << program_path()
                                      << "; the i686 product is built by `make product`";
    ASSERT_NE(image.headers, nullptr) << "not a PE file: " << program_path();
    EXPECT_EQ(image.headers->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(image.headers->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    // No console window opens beside the dialog.
    EXPECT_EQ(image.headers->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    WORD hardening = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(image.headers->OptionalHeader.DllCharacteristics & hardening, hardening);
    EXPECT_LE(image.bytes.size(), 24u * 1024) << "the program has outgrown its size budget";
}

// ASLR moves the image only when it carries its relocations: the directory is
// there, not marked stripped, and holds entries that fix addresses up.
TEST(ReleaseFile, CarriesTheRelocationsThatASLRNeeds) {
    ProgramImage image = load_program();
    ASSERT_NE(image.headers, nullptr);
    EXPECT_EQ(image.headers->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0)
        << "marked as stripped of relocations";
    const IMAGE_DATA_DIRECTORY& directory =
        image.headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    ASSERT_NE(directory.VirtualAddress, 0u) << "no relocation directory";
    size_t offset = image.offset_of(directory.VirtualAddress);
    ASSERT_NE(offset, 0u) << "the relocation directory lies in no section";
    size_t fixups = 0;
    for (DWORD read = 0; read + sizeof(IMAGE_BASE_RELOCATION) <= directory.Size;) {
        const IMAGE_BASE_RELOCATION* block = image.at<IMAGE_BASE_RELOCATION>(offset + read);
        if (!block || block->SizeOfBlock < sizeof *block) break;
        for (DWORD at = sizeof *block; at + sizeof(WORD) <= block->SizeOfBlock; at += sizeof(WORD)) {
            const WORD* entry = image.at<WORD>(offset + read + at);
            if (entry && (*entry >> 12) == IMAGE_REL_BASED_HIGHLOW) ++fixups;
        }
        read += block->SizeOfBlock;
    }
    EXPECT_GT(fixups, 0u) << "the relocation directory fixes no address up";
}

// Nothing of the program's runs before its entry: no thread-local storage
// directory, whose callbacks the loader would call first. (Static
// constructors, which nothing would call, fail the link: cmake/VornelleBuild.cmake.)
TEST(ReleaseFile, HasNoThreadLocalStorageDirectory) {
    expect_no_directory(IMAGE_DIRECTORY_ENTRY_TLS);
}

// Every function the program imports, by library: the allowlist. Nothing for
// files, the registry, the environment, the network or other processes; the
// one library loaded beyond this table is the system folder's bcrypt.dll.
// Names compare without regard to case, as the loader compares library names.
struct AllowedImports {
    const char* library;
    const char* why;
    std::vector<const char*> functions;
};

const AllowedImports ALLOWED_IMPORTS[] = {
    {"kernel32.dll", "start-up values, time of day, thread-local state, memory, Sleep, ExitProcess"
                     "; a copied text's clipboard block",
     {"CloseHandle", "EnumResourceNamesA", "ExitProcess", "GetCommandLineA", "GetLastError",
      "GetLocalTime", "GetModuleHandleA", "GetStartupInfoA", "GlobalAlloc", "GlobalFree",
      "SetErrorMode", "SetLastError", "Sleep", "TlsAlloc", "TlsFree", "TlsGetValue",
      "TlsSetValue",
      // copying from the text box
      "GlobalLock", "GlobalUnlock"}},
    {"kernel32.dll",
     "the library search restricted to the system folder (SetDefaultDllDirectories, looked up "
     "by name), and bcrypt.dll loaded from there for BCryptGenRandom",
     {"GetProcAddress", "GetSystemDirectoryA", "LoadLibraryExA"}},
    {"user32.dll", "the dialog, its controls, the message loop, the error sound of a failed press"
                   "; each control's procedure, watched for the record to go with its window"
                   " (CallWindowProcA, GetClassLongA)"
                   "; the text box's own copy (its edit control's procedure called on, "
                   "Ctrl+Insert, the text read as UTF-16), which marks the text on the "
                   "clipboard to stay out of history",
     {"CreateDialogIndirectParamA", "CreateWindowExA", "DestroyIcon", "DestroyWindow",
      "DispatchMessageA", "EnableWindow", "FillRect", "GetClassLongA", "GetClientRect", "GetDC",
      "GetDlgItem",
      "GetMenu", "GetMenuItemInfoA", "GetSysColor", "GetSysColorBrush", "GetWindowLongA",
      "GetWindowRect", "IsDialogMessageA", "IsWindow", "LoadImageA", "MapDialogRect",
      "MessageBeep", "PeekMessageA", "ReleaseDC", "SendMessageA", "SetFocus", "SetWindowLongA",
      "SetWindowPos", "SetWindowTextA", "ShowWindow", "SystemParametersInfoA",
      "TranslateMessage",
      // copying from the text box
      "CallWindowProcA", "CloseClipboard", "EmptyClipboard", "GetKeyState", "OpenClipboard",
      "RegisterClipboardFormatA", "SendMessageW", "SetClipboardData"}},
    {"gdi32.dll", "control colours and canvas surfaces of the toolkit",
     {"BitBlt", "CreateCompatibleBitmap", "CreateCompatibleDC", "CreateFontIndirectA",
      "DeleteDC", "DeleteObject", "GetDeviceCaps", "GetStockObject", "GetTextMetricsA",
      "SelectObject", "SetBkColor", "SetBkMode", "SetTextAlign", "SetTextColor"}},
    {"ole32.dll", "CoInitialize and CoUninitialize", {"CoInitialize", "CoUninitialize"}},
    {"oleaut32.dll", "system strings that hold texts and window records",
     {"SysAllocStringByteLen", "SysFreeString", "SysStringByteLen"}},
};

TEST(ReleaseFile, ImportsExactlyTheAllowedFunctions) {
    ProgramImage image = load_program();
    ASSERT_NE(image.headers, nullptr);
    std::map<std::string, std::vector<std::string>> imports = imports_of(image);
    ASSERT_FALSE(imports.empty());
    std::set<std::string> allowed;
    for (const AllowedImports& row : ALLOWED_IMPORTS) {
        for (const char* function : row.functions) {
            allowed.insert(lower(row.library) + "!" + lower(function));
        }
    }
    std::set<std::string> imported;
    for (const auto& library : imports) {
        for (const std::string& function : library.second) {
            imported.insert(library.first + "!" + lower(function));
        }
    }
    for (const std::string& entry : imported) {
        EXPECT_EQ(allowed.count(entry), 1u) << "import outside the allowlist: " << entry;
    }
    for (const std::string& entry : allowed) {
        EXPECT_EQ(imported.count(entry), 1u)
            << "the allowlist names " << entry << ", which the program no longer imports";
    }
}

// The libraries that Windows always takes from its system folder (its known
// libraries, the same from Windows 7 to 11) among those a program like this
// might import. Any other imported library would be looked for beside the
// program first, where a planted copy would be loaded in its place.
const char* const SYSTEM_PINNED_LIBRARIES[] = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                               "ole32.dll", "oleaut32.dll", "advapi32.dll",
                                               "shell32.dll", "comdlg32.dll"};

TEST(ReleaseFile, ImportsOnlyLibrariesThatWindowsTakesFromItsSystemFolder) {
    ProgramImage image = load_program();
    ASSERT_NE(image.headers, nullptr);
    std::set<std::string> pinned(std::begin(SYSTEM_PINNED_LIBRARIES),
                                 std::end(SYSTEM_PINNED_LIBRARIES));
    std::map<std::string, std::vector<std::string>> imports = imports_of(image);
    ASSERT_FALSE(imports.empty());
    for (const auto& library : imports) {
        EXPECT_EQ(pinned.count(library.first), 1u)
            << library.first << " would be looked for beside the program first";
    }
}

// Delay-loaded libraries are resolved at their first use, outside the table
// above: the program has none.
TEST(ReleaseFile, HasNoDelayLoadImports) {
    expect_no_directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
}

std::string version_string(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), (void**)&value, &length) || !value) return "";
    return std::string(value);
}

// The version's four numbers, read from its text (the file VERSION): "1.2" is
// 1, 2, 0, 0.
std::vector<DWORD> version_numbers() {
    std::vector<DWORD> numbers;
    for (const char* at = VORNELLE_VERSION_TEXT; *at; at += *at == '.') {
        DWORD number = 0;
        for (; *at >= '0' && *at <= '9'; ++at) number = number * 10 + (DWORD)(*at - '0');
        numbers.push_back(number);
    }
    numbers.resize(4, 0);
    return numbers;
}

// The numbers and the text that Explorer shows are one version, the
// project's.
TEST(ReleaseFile, CarriesItsVersionInformation) {
    std::string path = program_path();
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), NULL);
    ASSERT_NE(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void**)&fixed, &length));
    std::vector<DWORD> version = version_numbers();
    EXPECT_EQ(fixed->dwFileVersionMS, version[0] << 16 | version[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, version[2] << 16 | version[3]);
    EXPECT_EQ(fixed->dwProductVersionMS, version[0] << 16 | version[1]);
    EXPECT_EQ(fixed->dwProductVersionLS, version[2] << 16 | version[3]);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_APP);

    EXPECT_EQ(version_string(info, "ProductName"), "Vornelle");
    EXPECT_EQ(version_string(info, "ProductVersion"), VORNELLE_VERSION_TEXT);
    EXPECT_EQ(version_string(info, "FileVersion"), VORNELLE_VERSION_TEXT);
    EXPECT_EQ(version_string(info, "OriginalFilename"), "vornelle.exe");
    EXPECT_NE(version_string(info, "FileDescription").find("pass phrase"), std::string::npos);
    EXPECT_NE(version_string(info, "LegalCopyright").find("The Vornelle developers"),
              std::string::npos);
}

TEST(ReleaseFile, CarriesItsManifestAndIcon) {
    HMODULE module = LoadLibraryExA(program_path().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, (HMODULE)0);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    ASSERT_NE(found, (HRSRC)0);
    std::string manifest((const char*)LockResource(LoadResource(module, found)),
                         SizeofResource(module, found));
    // Runs with the user's own rights, and leaves DPI scaling to the system,
    // which scales the pixel-laid-out dialog as a whole.
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos)
        << "Windows 10 and 11 are not declared";
    // The assembly's version is the project's, in four parts.
    std::vector<DWORD> version = version_numbers();
    std::string identity = "name=\"Vornelle\" version=\"" + std::to_string(version[0]) + "." +
                           std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
                           std::to_string(version[3]) + "\"";
    EXPECT_NE(manifest.find(identity), std::string::npos) << manifest;

    HICON icon = (HICON)LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, (HICON)0);
    if (icon) {
        ICONINFO info = {};
        EXPECT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, 32);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    FreeLibrary(module);
}

}  // namespace
