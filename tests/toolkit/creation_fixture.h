// Test support for dialog and control creation: the toolkit fixture (which
// destroys every window a test keeps, records included), plus small window
// queries.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/toolkit_fixture.h"
#include "tests/support/window_class.h"
#include "tests/support/window_place.h"
#include "tests/toolkit/record_memory.h"

namespace vornelle_test {

// Dialog and control creation tests: the toolkit base, with nothing more.
class CreationTest : public ToolkitTest {};

inline BOOL CALLBACK count_child(HWND, LPARAM counter) {
    ++*(int*)counter;
    return TRUE;
}

// Every window below parent, grandchildren included.
inline int child_count(HWND parent) {
    int count = 0;
    EnumChildWindows(parent, count_child, (LPARAM)&count);
    return count;
}

inline SIZE client_size(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    return size;
}

inline BOOL CALLBACK collect_dialog_window(HWND window, LPARAM list) {
    if (class_of(window) == DIALOG_CLASS) ((std::vector<HWND>*)list)->push_back(window);
    return TRUE;
}

// The top-level windows of the platform's dialog class on this thread.
inline std::vector<HWND> dialogs_of_this_thread() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), collect_dialog_window, (LPARAM)&dialogs);
    return dialogs;
}

}  // namespace vornelle_test
