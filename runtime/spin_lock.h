// The process-wide spin locks: taken by atomically exchanging an all-ones value
// in until 0 comes out, with no pause or yield; released by a store of 0 that
// cannot move before the writes of the critical section.
#pragma once
#include <windows.h>

namespace vornelle {

typedef volatile LONG SpinLock;

inline void spin_acquire(SpinLock* lock) {
    while (InterlockedExchange(lock, -1) != 0) {
    }
}

inline void spin_release(SpinLock* lock) { __atomic_store_n(lock, 0, __ATOMIC_RELEASE); }

}  // namespace vornelle
