// x87 state access in the two inline-assembly dialects the project builds
// with: GNU (MinGW-w64) and Microsoft's 32-bit compiler.
#include "runtime/fpu.h"

namespace vornelle {

#if defined(__GNUC__)

uint16_t fpu_control_word() {
    uint16_t word;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

void fpu_set_control_word(uint16_t word) { __asm__ __volatile__("fldcw %0" : : "m"(word)); }

void fpu_save(FpuState* state) {
    __asm__ __volatile__("fnsave %0" : "=m"(state->image) : : "memory");
}

void fpu_restore(const FpuState* state) {
    __asm__ __volatile__("frstor %0" : : "m"(state->image) : "memory");
}

#elif defined(_MSC_VER) && defined(_M_IX86)
// One assembly statement a line, as the compiler reads them.
// clang-format off

uint16_t fpu_control_word() {
    uint16_t word;
    __asm fnstcw word
    return word;
}

void fpu_set_control_word(uint16_t word) {
    __asm fldcw word
}

void fpu_save(FpuState* state) {
    uint8_t* image = state->image;
    __asm mov eax, image
    __asm fnsave [eax]
}

void fpu_restore(const FpuState* state) {
    const uint8_t* image = state->image;
    __asm mov eax, image
    __asm frstor [eax]
}

// clang-format on
#else
#error "the x87 state is reached only on 32-bit x86"
#endif

}  // namespace vornelle
