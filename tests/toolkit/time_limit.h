// Test support: an operation run on a thread of its own and waited for a
// limited time, so that an operation that hangs fails its test instead of
// stopping the suite. A thread that overruns is terminated; whatever it held
// (the registry lock, say) is the calling test's to put right.
#pragma once
#include <windows.h>

#include <functional>

namespace vornelle_test {

inline DWORD WINAPI run_limited_operation(void* argument) {
    (*static_cast<std::function<void()>*>(argument))();
    return 0;
}

// True when the operation finished within the limit. stackBytes reserves the
// thread's stack (0: the program's default).
inline bool finishes_within(DWORD milliseconds, std::function<void()> operation,
                            SIZE_T stackBytes = 0) {
    HANDLE thread = CreateThread(NULL, stackBytes, run_limited_operation, &operation,
                                 stackBytes ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, NULL);
    if (!thread) return false;
    bool finished = WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
    if (!finished) {
        TerminateThread(thread, 1);
        WaitForSingleObject(thread, INFINITE);
    }
    CloseHandle(thread);
    return finished;
}

}  // namespace vornelle_test
