// Error words: what raise_runtime_error records and reports, and that an error
// stays in the activation of the procedure whose operation failed.
#include <gtest/gtest.h>

#include "runtime/runtime_error.h"
#include "runtime/system_memory.h"
#include "runtime/text.h"

using namespace vornelle;

namespace {

struct ErrorCase {
    uint8_t code;
    uint16_t errorWord;
    bool failure;
};

const ErrorCase ERROR_CASES[] = {
    {7, 0xB007, true},  {0, 0xB033, true},   {244, 0xB0F4, false}, {1, 0xB001, true},
    {240, 0xB0F0, true}, {241, 0xB0F1, false}, {255, 0xB0FF, false}, {51, 0xB033, true},
};

TEST(RuntimeError, RecordsCodeAndReportsFailure) {
    for (const ErrorCase& c : ERROR_CASES) {
        ActivationRecord activation = {};
        EXPECT_EQ(c.failure, raise_runtime_error(&activation, c.code)) << "code " << int(c.code);
        EXPECT_EQ(c.errorWord, activation.errorWord) << "code " << int(c.code);
    }
}

TEST(RuntimeError, EachErrorOverwritesThePrevious) {
    ActivationRecord activation = {0xFFFF};
    raise_runtime_error(&activation, 5);
    EXPECT_EQ(0xB005, activation.errorWord);
    raise_runtime_error(&activation, 0xF2);
    EXPECT_EQ(0xB0F2, activation.errorWord);
    raise_runtime_error(&activation, 7);
    EXPECT_EQ(0xB007, activation.errorWord);
}

// An application procedure: its own activation, one substring of source into a
// local text, and its error word handed back only for the test to look at.
uint16_t handler_call(Text source) {
    ActivationRecord activation = {};
    Text piece = {};
    text_substring(&activation, &piece, source, 1, 3);
    text_free(&piece);
    return activation.errorWord;
}

char* failing_allocator(uint32_t) {
    return nullptr;
}

TEST(RuntimeError, CallbackErrorReachesNeitherMainNorNextCall) {
    SystemAllocator platform = systemAllocator;
    ActivationRecord mainActivation = {};
    Text source = {};
    text_assign(&mainActivation, &source, "abcdef", 6);

    systemAllocator = failing_allocator;
    uint16_t first = handler_call(source);
    systemAllocator = platform;
    uint16_t second = handler_call(source);

    EXPECT_EQ(0xB007, first);
    EXPECT_EQ(0, second);
    EXPECT_EQ(0, mainActivation.errorWord);
    text_free(&source);
}

}  // namespace
