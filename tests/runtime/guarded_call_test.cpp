// guarded_call on the real platform: the last-error value it hands back, the
// error mode around the call, and the x87 unit, which the called function finds
// clean and cannot disturb for its caller.
#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/guarded_call.h"

using namespace vornelle;

namespace {

uintptr_t sets_no_error(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) {
    return a * 1000 + b * 100 + c * 10 + d;
}

uintptr_t sets_error(uintptr_t code, uintptr_t, uintptr_t, uintptr_t) {
    SetLastError((DWORD)code);
    return 77;
}

uintptr_t file_attributes(uintptr_t path, uintptr_t, uintptr_t, uintptr_t) {
    return GetFileAttributesA((const char*)path);
}

UINT errorModeInside;

uintptr_t reads_error_mode(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    errorModeInside = GetErrorMode();
    return 0;
}

TEST(GuardedCall, LastErrorIsClearedBeforeTheCall) {
    SetLastError(1234);
    GuardedResult r = guarded_call(sets_no_error, 1, 2, 3, 4);
    EXPECT_EQ(1234u, r.result);
    EXPECT_EQ(0u, r.lastError);
}

TEST(GuardedCall, LastErrorOfTheCallComesBack) {
    GuardedResult r = guarded_call(sets_error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(77u, r.result);
    EXPECT_EQ((uint32_t)ERROR_ACCESS_DENIED, r.lastError);

    r = guarded_call(file_attributes, (uintptr_t) "C:\\no such folder\\no such file");
    EXPECT_EQ((uintptr_t)INVALID_FILE_ATTRIBUTES, r.result);
    EXPECT_EQ((uint32_t)ERROR_PATH_NOT_FOUND, r.lastError);
}

TEST(GuardedCall, CriticalErrorBoxesSuppressedOnlyDuringTheCall) {
    UINT previous = SetErrorMode(0);
    guarded_call(reads_error_mode);
    EXPECT_EQ(GUARDED_ERROR_MODE, errorModeInside);
    EXPECT_EQ(0u, GetErrorMode());
    SetErrorMode(previous);
}

#if defined(__GNUC__)

// The control word's defined fields: infinity control, rounding, precision and
// the six exception masks. Bit 6 is reserved and reads back as 1 whatever was
// loaded, so 0x133F reads as 0x137F.
const uint16_t CONTROL_FIELDS = 0x1F3F;

// The 28-byte environment of FNSTENV in 32-bit protected mode.
struct FpuEnvironment {
    uint16_t controlWord, pad0, statusWord, pad1, tagWord, pad2;
    uint32_t rest[4];
};

FpuEnvironment environmentInside;

// Reports what it finds, then loads four values, switches to round-toward-zero
// at 24-bit precision, raises a masked division by zero and returns with the
// values still on the stack.
uintptr_t disturbs_unit(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    static const uint16_t chopSingle = 0x0C7F;
    __asm__ __volatile__("fnstenv %0\n\t"
                         "fldenv %0"
                         : "+m"(environmentInside));
    __asm__ __volatile__("fldcw %0\n\t"
                         "fldz\n\t"
                         "fld1\n\t"
                         "fdiv %%st(1), %%st\n\t"  // 1 / 0, masked: sets the zero-divide flag
                         "fldpi\n\t"
                         "fldlg2"
                         :
                         : "m"(chopSingle));
    return 5;
}

TEST(GuardedCall, FpuStateIsTheSameAfterTheCall) {
    uint16_t callerWord;
    const uint16_t processWord = 0x133F;
    long double expected[3], after[3];
    uint16_t controlAfter;
    FpuEnvironment environmentAfter;
    __asm__ __volatile__("fnstcw %0" : "=m"(callerWord));
    // The values as the caller's unit makes them, then the same three left on
    // the stack across the call.
    __asm__ __volatile__("fninit\n\t"
                         "fldcw %3\n\t"
                         "fldl2t\n\t"
                         "fstpt %0\n\t"
                         "fldl2e\n\t"
                         "fstpt %1\n\t"
                         "fldln2\n\t"
                         "fstpt %2\n\t"
                         "fldln2\n\t"
                         "fldl2e\n\t"
                         "fldl2t"
                         : "=m"(expected[0]), "=m"(expected[1]), "=m"(expected[2])
                         : "m"(processWord));
    GuardedResult r = guarded_call(disturbs_unit);
    __asm__ __volatile__("fnstcw %0\n\t"
                         "fstpt %1\n\t"
                         "fstpt %2\n\t"
                         "fstpt %3\n\t"
                         "fnstenv %4\n\t"
                         "fninit\n\t"
                         "fldcw %5"
                         : "=m"(controlAfter), "=m"(after[0]), "=m"(after[1]), "=m"(after[2]),
                           "=m"(environmentAfter)
                         : "m"(callerWord));

    EXPECT_EQ(5u, r.result);
    EXPECT_EQ(0x133F, controlAfter & CONTROL_FIELDS);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, memcmp(&expected[i], &after[i], 10)) << "register " << i;
    }
    // Popping the caller's three values left the stack empty, and no exception
    // flag of the function's division came back.
    EXPECT_EQ(0xFFFF, environmentAfter.tagWord);
    EXPECT_EQ(0, environmentAfter.statusWord & 0x3800) << "stack top";
    EXPECT_EQ(0, environmentAfter.statusWord & 0x003F) << "exception flags";

    // What the function found: a freshly initialised unit.
    EXPECT_EQ(0x037F, environmentInside.controlWord);  // as FNINIT leaves it
    EXPECT_EQ(0xFFFF, environmentInside.tagWord);
    EXPECT_EQ(0, environmentInside.statusWord & 0x38FF);
}

#endif

}  // namespace
