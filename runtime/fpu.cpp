// x87 state access in GNU inline assembly, as MinGW-w64, the one toolchain the
// project builds with, reads it.
#include "runtime/fpu.h"

namespace vornelle {

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

}  // namespace vornelle
