// Test support for dispatch, the modal loop and control text: a fixture on the
// toolkit base that cleans up every window a test made and what it recorded,
// recording callbacks, and a guarded run of the modal loop that a safety timer
// always ends.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "tests/support/toolkit_fixture.h"
#include "tests/support/window_class.h"
#include "toolkit/control_colors.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/dialog_proc.h"
#include "toolkit/modal.h"
#include "toolkit/window_registry.h"

namespace vornelle_test {

// One call of a callback, with what the dialog looked like at that moment.
struct Call {
    HWND dialog;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool dialogVisible;
    bool dialogHasRecord;
};

// What a recording callback saw, and what it answers.
struct Recorder {
    std::vector<Call> calls;
    LONG_PTR result = 0;       // returned for every message ...
    UINT onlyMessage = 0;      // ... or only for this one, when non-zero
    LONG_PTR storedResult = 0;  // put into DWLP_MSGRESULT first, when non-zero
    // Called after recording, for tests that act from inside a callback.
    void (*action)(const Call& call) = nullptr;

    void reset() { *this = Recorder(); }
    std::vector<UINT> messages() const {
        std::vector<UINT> list;
        for (const Call& call : calls) list.push_back(call.message);
        return list;
    }
    int count(UINT message) const {
        int n = 0;
        for (const Call& call : calls) n += call.message == message;
        return n;
    }
};

extern Recorder controlRecorder;
extern Recorder dialogRecorder;
extern Recorder menuRecorder;

LONG_PTR control_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR dialog_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR menu_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The toolkit base, which also forgets what callbacks recorded and drops what
// is still queued when a test ends.
class ToolkitWindowTest : public ToolkitTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A pixel-mode dialog of 300 x 200 client pixels, hidden, destroyed at the end.
    HWND make_dialog(HWND owner = 0, uint32_t style = 0);
    HWND make_control(int32_t kind, HWND dialog, int32_t id, vornelle::ControlCallback callback,
                      const char* text = "", uint32_t style = 0);
    // A visible top-level window whose procedure counts what an owner receives.
    HWND make_owner();

    // show_dialog_modal, with a safety timer that destroys the dialog after
    // safetyMs if the test's own means have not ended it. Returns whether the
    // safety timer had to act.
    bool run_modal(HWND dialog, vornelle::DialogCallback callback, int32_t* result,
                   UINT safetyMs = 4000);
};

// What the owner window made by make_owner received.
struct OwnerLog {
    int cancelMode = 0;
    int enterIdle = 0;
    int enterIdleWrong = 0;  // WM_ENTERIDLE with other parameters than expected
    HWND expectedDialog = 0;
};
extern OwnerLog ownerLog;

// Pumps the thread's messages for the given time.
void pump_messages(DWORD milliseconds);

}  // namespace vornelle_test
