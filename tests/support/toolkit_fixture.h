// The base of the toolkit's in-process test fixtures: it prepares what process
// start-up would (the module instance, the thread-state slot) and destroys
// every window a test keeps, together with any record left behind.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "runtime/startup_record.h"
#include "toolkit/thread_state.h"
#include "toolkit/window_registry.h"

namespace vornelle_test {

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        vornelle::startupRecord.instance = GetModuleHandleA(NULL);
        if (vornelle::stateSlot == TLS_OUT_OF_INDEXES) {
            ASSERT_TRUE(vornelle::open_thread_states());
        }
        ASSERT_NE(vornelle::thread_state(), nullptr);
    }

    // Last kept, first destroyed.
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

}  // namespace vornelle_test
