// The guarded platform call: one call of a platform function under the
// guarded-call lock, seeing a freshly initialised FPU, with critical-error boxes
// suppressed and the last-error value cleared before and read right after it.
// Not re-entrant: a guarded function must not itself use guarded_call.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

typedef uintptr_t (*GuardedFunction)(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);

struct GuardedResult {
    uintptr_t result;
    uint32_t lastError;  // 0 when the call left none
};

const unsigned GUARDED_ERROR_MODE = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

GuardedResult guarded_call(GuardedFunction function, uintptr_t a = 0, uintptr_t b = 0,
                           uintptr_t c = 0, uintptr_t d = 0);

// Frees the guarded-call lock; process start-up calls it with the other
// working variables.
void reset_guarded_call();

}  // namespace vornelle
