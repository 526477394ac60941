// guarded_call: the lock, the FPU save area and the saved error mode are
// process-wide and used only while the lock is held.
#include "runtime/guarded_call.h"

#include <windows.h>

#include "runtime/fpu.h"
#include "runtime/spin_lock.h"

namespace vornelle {

static SpinLock guardedLock;
static FpuState guardedSaveArea;
static UINT guardedPreviousMode;

void reset_guarded_call() { guardedLock = 0; }

GuardedResult guarded_call(GuardedFunction function, uintptr_t a, uintptr_t b, uintptr_t c,
                           uintptr_t d) {
    GuardedResult out;
    spin_acquire(&guardedLock);
    fpu_save(&guardedSaveArea);
    guardedPreviousMode = SetErrorMode(GUARDED_ERROR_MODE);
    SetLastError(0);
    out.result = function(a, b, c, d);
    fpu_restore(&guardedSaveArea);
    out.lastError = GetLastError();
    SetErrorMode(guardedPreviousMode);
    spin_release(&guardedLock);
    return out;
}

}  // namespace vornelle
