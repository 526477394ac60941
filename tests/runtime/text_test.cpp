// Dynamic text on the platform's system-string allocator: results, a target that
// is also a source, clipping of substrings, and allocation failure.
#include <string.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "runtime/system_memory.h"
#include "runtime/text.h"

using namespace vornelle;

namespace {

std::string str(Text text) {
    return std::string(text_chars(text), text_length(text));
}

class TextTest : public ::testing::Test {
protected:
    void TearDown() override {
        systemAllocator = platform_system_allocate;
        for (Text* t : {&a, &b, &target}) text_free(t);
    }
    Text make(const std::string& s) {
        Text t = {};
        text_assign(&activation, &t, s.data(), (uint32_t)s.size());
        return t;
    }
    void expect_text(const std::string& expected, Text t) {
        EXPECT_EQ(expected, str(t));
        EXPECT_EQ('\0', text_chars(t)[text_length(t)]) << "handed out NUL-terminated";
    }
    ActivationRecord activation = {};
    Text a = {}, b = {}, target = {};
};

TEST_F(TextTest, Operations) {
    a = make("pass");
    b = make("phrase");
    text_concat(&activation, &target, a, b);
    expect_text("passphrase", target);
    text_append(&activation, &target, "!\0x", 3);  // bytes, not a C string
    expect_text(std::string("passphrase!\0x", 13), target);
    text_substring(&activation, &target, b, 1, 3);
    expect_text("hra", target);
    text_assign(&activation, &target, "", 0);
    EXPECT_EQ(nullptr, target.bytes);
    expect_text("", target);
    text_concat(&activation, &target, Text{}, Text{});
    EXPECT_EQ(nullptr, target.bytes);
    text_concat(&activation, &target, Text{}, b);
    expect_text("phrase", target);
    EXPECT_NE(b.bytes, target.bytes) << "each text owns its block";
    EXPECT_EQ(0, activation.errorWord);
}

TEST_F(TextTest, TargetIsAlsoASource) {
    target = make("abc");
    text_concat(&activation, &target, target, target);
    expect_text("abcabc", target);
    a = make("-");
    text_concat(&activation, &target, a, target);
    expect_text("-abcabc", target);
    text_concat(&activation, &target, target, a);
    expect_text("-abcabc-", target);
    text_append(&activation, &target, target.bytes + 1, 3);
    expect_text("-abcabc-abc", target);
    text_substring(&activation, &target, target, 2, 4);
    expect_text("bcab", target);
    text_assign(&activation, &target, target.bytes + 1, 2);
    expect_text("ca", target);
    EXPECT_EQ(0, activation.errorWord);
}

struct SubstringCase {
    uint32_t start;
    uint32_t count;
    const char* result;
};

const SubstringCase SUBSTRING_CASES[] = {
    {0, 3, "abc"}, {4, 10, "ef"},   {2, 0xFFFFFFFF, "cdef"}, {5, 1, "f"},
    {6, 1, ""},    {100, 2, ""},    {0xFFFFFFFF, 0xFFFFFFFF, ""}, {0, 0, ""},
};

TEST_F(TextTest, SubstringIsClippedToTheSource) {
    a = make("abcdef");
    for (const SubstringCase& c : SUBSTRING_CASES) {
        target = make("old");
        text_substring(&activation, &target, a, c.start, c.count);
        EXPECT_EQ(c.result, str(target)) << "start " << c.start << " count " << c.count;
    }
    EXPECT_EQ(0, activation.errorWord);
}

char* failing_allocator(uint32_t) {
    return nullptr;
}

TEST_F(TextTest, AllocationFailureRecordsSevenAndLeavesTargetUnchanged) {
    const std::function<void(Text*)> operations[] = {
        [&](Text* t) { text_assign(&activation, t, "xyz", 3); },
        [&](Text* t) { text_concat(&activation, t, a, b); },
        [&](Text* t) { text_concat(&activation, t, *t, *t); },
        [&](Text* t) { text_substring(&activation, t, a, 1, 2); },
        [&](Text* t) { text_append(&activation, t, "xyz", 3); },
    };
    a = make("left");
    b = make("right");
    target = make("unchanged");
    for (size_t i = 0; i < sizeof operations / sizeof operations[0]; ++i) {
        char* before = target.bytes;
        activation = {};
        systemAllocator = failing_allocator;
        operations[i](&target);
        systemAllocator = platform_system_allocate;
        EXPECT_EQ(0xB007, activation.errorWord) << "operation " << i;
        EXPECT_EQ(before, target.bytes) << "operation " << i;
        EXPECT_EQ("unchanged", str(target)) << "operation " << i;
    }
}

TEST_F(TextTest, LengthPastFourGigabytesFailsInsteadOfWrapping) {
    target = make("abc");
    // 3 + 0xFFFFFFFE wraps to 1 in 32 bits; the append must fail, not copy.
    text_append(&activation, &target, "x", 0xFFFFFFFE);
    EXPECT_EQ(0xB007, activation.errorWord);
    EXPECT_EQ("abc", str(target));
}

TEST_F(TextTest, FreeEmptiesTheText) {
    target = make("secret");
    text_free(&target);
    EXPECT_EQ(nullptr, target.bytes);
    EXPECT_EQ(0u, text_length(target));
    text_free(&target);  // freeing the empty text does nothing
    EXPECT_EQ(nullptr, target.bytes);
}

}  // namespace
