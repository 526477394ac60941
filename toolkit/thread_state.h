// Per-thread toolkit state, reached through one thread-local storage slot: the
// default dialog font that every new dialog's template carries, and the error
// mechanism's per-thread words. A thread's state is made on first use and
// inherits the start-up thread's font as it is at that moment.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

// The inheritable run of a thread's state: copied whole into every later
// thread's state.
struct ThreadInherited {
    char defaultFontFace[32];  // at most 31 characters and a NUL
    int32_t defaultFontSize;   // points
    uint32_t reserved;
};

struct ToolkitThreadState {
    HANDLE closeOnRelease;  // closed when the state is released; never set here
    uint32_t errorGuard;    // reserved for the error mechanism
    const void* errorStatementStart;
    const void* errorStatementEnd;
    ThreadInherited inherited;
};

const char THREAD_DEFAULT_FONT_FACE[] = "MS Sans Serif";
const int32_t THREAD_DEFAULT_FONT_SIZE = 8;

// Hands out a zero-filled block of size bytes, or null: GlobalAlloc with
// GMEM_ZEROINIT. A test may swap it to make the allocation fail.
typedef void* (*StateAllocator)(SIZE_T size);
void* platform_state_allocate(SIZE_T size);
extern StateAllocator stateAllocator;

extern DWORD stateSlot;
extern ToolkitThreadState* firstThreadState;

// Makes the slot and the start-up thread's state; false when either fails.
bool open_thread_states();
// The calling thread's state, made on first use; null (and *failureCode = 7)
// when no memory is left.
ToolkitThreadState* thread_state(uint8_t* failureCode = 0);
// Releases the calling thread's state, if it has one.
void release_thread_state();
// The start-up thread's state, then the slot.
void close_thread_states();

}  // namespace vornelle
