// The command-line tail and the show command, as pure functions of their input.
#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/command_tail.h"
#include "runtime/startup_record.h"

using namespace vornelle;

namespace {

struct TailCase {
    const char* line;
    const char* tail;
};

const TailCase TAIL_CASES[] = {
    {"\"C:\\Program Files\\v.exe\"  -x y", "-x y"},
    {"\"C:\\v.exe\"-x", "-x"},
    {"\"C:\\v.exe\"", ""},
    {"\"C:\\v.exe\"   ", ""},
    {"\"C:\\v.exe\"\t-x", "\t-x"},  // only spaces are skipped after the quote
    {"v.exe   a  b", "a  b"},
    {"v.exe", ""},
    {"v.exe \t a", "\t a"},
    {"v.exe\tword", "\tword"},
    {"v.exe\x01 a", "\x01 a"},
    {"  v.exe a", "v.exe a"},  // leading blanks: empty name, the rest is the tail
    {"   ", ""},
    {"\"C:\\a b\\v.exe -x", ""},  // no closing quote: the name takes the line
    {"\"", ""},
    {"", ""},
    {"\tv.exe a", "a"},  // a leading tab is the name's first byte
    {"\x1Fv a", "a"},
    {"\xE4\xF6\xFC\x80\xFF.exe -x", "-x"},  // high bytes belong to the name
    {"v\xA0\xFFw", ""},
    {"\xFF", ""},
    {"v\"a b\" c", "b\" c"},  // a quote inside an unquoted name is no quote
};

TEST(CommandTail, TailOfEachLinePointsIntoIt) {
    for (const TailCase& c : TAIL_CASES) {
        const char* tail = command_tail(c.line);
        size_t lineLength = strlen(c.line);
        size_t tailLength = strlen(c.tail);
        EXPECT_STREQ(c.tail, tail) << "line: " << c.line;
        // The tail is the line's own suffix, not a copy.
        EXPECT_EQ(c.line + lineLength - tailLength, tail) << "line: " << c.line;
    }
}

TEST(CommandTail, NullLineHasEmptyTail) {
    EXPECT_STREQ("", command_tail(nullptr));
}

struct ShowCase {
    DWORD flags;
    WORD showWindow;
    int32_t showCommand;
};

const ShowCase SHOW_CASES[] = {
    {STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, 7},
    {0, SW_SHOWMINNOACTIVE, SW_SHOWDEFAULT},
    {STARTF_USESTDHANDLES, SW_MAXIMIZE, SW_SHOWDEFAULT},
    {STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES, SW_HIDE, 0},
    {STARTF_USESHOWWINDOW, 0xFFFF, 65535},  // widened without sign
};

TEST(ShowCommand, FromStartupInformation) {
    for (const ShowCase& c : SHOW_CASES) {
        STARTUPINFOA info = {};
        info.dwFlags = c.flags;
        info.wShowWindow = c.showWindow;
        EXPECT_EQ(c.showCommand, show_command_of(info))
            << "flags " << c.flags << " wShowWindow " << c.showWindow;
    }
}

}  // namespace
