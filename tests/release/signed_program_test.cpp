// The signed exe that release.signed leaves (this build's vornelle.exe, signed
// with throwaway keys) is still the program: it carries its signature, starts
// under Wine, a press shows a pass phrase, and closing it ends it with code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/program_fixture.h"
#include "tests/support/outside_program.h"
#include "tests/support/passphrase_check.h"

using namespace vornelle_test;

namespace {

// The certificate table of the PE file at path: its size, 0 when unsigned.
DWORD certificate_table_size(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    LONG at = ((const IMAGE_DOS_HEADER*)bytes.data())->e_lfanew;
    if (at < 0 || bytes.size() < (size_t)at + sizeof(IMAGE_NT_HEADERS64)) return 0;
    const IMAGE_NT_HEADERS32* headers32 = (const IMAGE_NT_HEADERS32*)&bytes[at];
    if (headers32->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return headers32->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
    }
    const IMAGE_NT_HEADERS64* headers64 = (const IMAGE_NT_HEADERS64*)&bytes[at];
    return headers64->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
}

TEST_F(ProgramTest, SignedProgramMakesAPassPhraseAndEndsWithZero) {
    EXPECT_GT(certificate_table_size(windows_path(VORNELLE_EXE)), 0u)
        << VORNELLE_EXE << " carries no signature";
    std::string text = press();
    EXPECT_TRUE(is_passphrase(text)) << text;
    EXPECT_EQ(close_and_wait(dialog_, process_.hProcess, 10000), 0);
}

}  // namespace
