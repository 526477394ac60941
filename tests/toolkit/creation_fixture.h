// Test support for dialog and control creation: a fixture that prepares what
// process start-up would (module instance, thread state) and destroys every
// dialog a test makes, records included, plus small window queries.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/startup.h"
#include "tests/toolkit/record_memory.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

namespace vornelle_test {

class CreationTest : public ::testing::Test {
protected:
    void SetUp() override {
        vornelle::startupRecord.instance = GetModuleHandleA(NULL);
        if (vornelle::stateSlot == TLS_OUT_OF_INDEXES) {
            ASSERT_TRUE(vornelle::open_thread_states());
        }
        ASSERT_NE(vornelle::thread_state(), nullptr);
    }

    void TearDown() override {
        for (size_t i = windows_.size(); i-- > 0;) {
            HWND window = windows_[i];
            if (IsWindow(window)) DestroyWindow(window);
            // The dialog procedure removes a dialog's records when its window
            // goes; whatever is left (a window without that procedure) goes here.
            if (vornelle::find_record(window)) vornelle::destroy_record(window);
        }
        windows_.clear();
    }

    // Destroyed (with its records) when the test ends.
    HWND keep(HWND window) {
        if (window) windows_.push_back(window);
        return window;
    }

private:
    std::vector<HWND> windows_;
};

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

// The window's rectangle in the client coordinates of its parent dialog.
inline RECT rect_in(HWND dialog, HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(NULL, dialog, (POINT*)&rect, 2);
    return rect;
}

inline std::string class_of(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline BOOL CALLBACK collect_dialog_window(HWND window, LPARAM list) {
    if (class_of(window) == "#32770") ((std::vector<HWND>*)list)->push_back(window);
    return TRUE;
}

// The top-level windows of the platform's dialog class on this thread.
inline std::vector<HWND> dialogs_of_this_thread() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), collect_dialog_window, (LPARAM)&dialogs);
    return dialogs;
}

}  // namespace vornelle_test
