// Thread states: one GlobalAlloc'd, zero-filled block per thread in the slot
// stateSlot; the start-up thread's block is the source of every later thread's
// inheritable run (the default dialog font).
#include "toolkit/thread_state.h"

#include <string.h>

#include "runtime/runtime_error.h"

namespace vornelle {

void* platform_state_allocate(SIZE_T size) { return GlobalAlloc(GMEM_ZEROINIT, size); }

StateAllocator stateAllocator = platform_state_allocate;
DWORD stateSlot = TLS_OUT_OF_INDEXES;
ToolkitThreadState* firstThreadState;

ToolkitThreadState* thread_state(uint8_t* failureCode) {
    ToolkitThreadState* state = (ToolkitThreadState*)TlsGetValue(stateSlot);
    if (state) return state;
    state = (ToolkitThreadState*)stateAllocator(sizeof *state);
    if (!state) {
        if (failureCode) *failureCode = RUNTIME_OUT_OF_MEMORY;
        return 0;
    }
    TlsSetValue(stateSlot, state);
    if (firstThreadState) {
        state->inherited = firstThreadState->inherited;
    }
    return state;
}

bool open_thread_states() {
    stateSlot = TlsAlloc();
    if (stateSlot == TLS_OUT_OF_INDEXES) return false;
    firstThreadState = 0;
    ToolkitThreadState* state = thread_state();
    if (!state) return false;
    firstThreadState = state;
    state->inherited.defaultFontSize = THREAD_DEFAULT_FONT_SIZE;
    memcpy(state->inherited.defaultFontFace, THREAD_DEFAULT_FONT_FACE,
           sizeof THREAD_DEFAULT_FONT_FACE);
    return true;
}

void release_thread_state() {
    ToolkitThreadState* state = (ToolkitThreadState*)TlsGetValue(stateSlot);
    if (!state) return;
    if (state->closeOnRelease) {
        CloseHandle(state->closeOnRelease);
        state->closeOnRelease = 0;
    }
    GlobalFree(state);
    TlsSetValue(stateSlot, 0);
}

void close_thread_states() {
    release_thread_state();
    TlsFree(stateSlot);
}

}  // namespace vornelle
