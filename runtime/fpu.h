// The x87 floating-point unit: its control word, and its complete state (the
// 108-byte FNSAVE image) saved and restored around calls into foreign code.
// Saving also reinitialises the unit: empty stack, all exceptions masked, round
// to nearest, 64-bit significand (control word 0x037F).
#pragma once
#include <stdint.h>

namespace vornelle {

// All six exceptions masked, 64-bit significand, round to nearest, and the
// infinity-control bit: the environment the whole process computes in.
// Why: seeds and draws then round alike on every run and machine (nearest, in
// extended precision), and no floating-point fault can stop the program mid-call.
const uint16_t FPU_PROCESS_CONTROL_WORD = 0x133F;

struct FpuState {
    uint8_t image[108];
};

uint16_t fpu_control_word();
void fpu_set_control_word(uint16_t word);
// FNSAVE: stores the whole state and reinitialises the unit.
void fpu_save(FpuState* state);
// FRSTOR: the unit becomes exactly what fpu_save stored.
void fpu_restore(const FpuState* state);

}  // namespace vornelle
