// Recording callbacks, the window fixture and the guarded modal run shared by
// the dispatch, modal-loop and control-text tests.
#include "dispatch_support.h"

namespace vornelle_test {

using namespace vornelle;

Recorder controlRecorder;
Recorder dialogRecorder;
Recorder menuRecorder;
OwnerLog ownerLog;

namespace {

LONG_PTR record_call(Recorder& recorder, HWND dialog, UINT message, WPARAM wParam,
                     LPARAM lParam) {
    Call call = {dialog, message, wParam, lParam, IsWindowVisible(dialog) != FALSE,
                 find_record(dialog) != nullptr};
    recorder.calls.push_back(call);
    if (recorder.action) recorder.action(call);
    if (recorder.onlyMessage && recorder.onlyMessage != message) return 0;
    if (recorder.storedResult) SetWindowLongPtrA(dialog, DWLP_MSGRESULT, recorder.storedResult);
    return recorder.result;
}

HWND safetyDialog;
bool safetyFired;

void CALLBACK safety_timer(HWND, UINT, UINT_PTR, DWORD) {
    if (IsWindow(safetyDialog)) {
        safetyFired = true;
        DestroyWindow(safetyDialog);
    }
}

LRESULT CALLBACK owner_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CANCELMODE) ++ownerLog.cancelMode;
    if (message == WM_ENTERIDLE) {
        ++ownerLog.enterIdle;
        if (wParam != MSGF_DIALOGBOX || (HWND)lParam != ownerLog.expectedDialog) {
            ++ownerLog.enterIdleWrong;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LONG_PTR control_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return record_call(controlRecorder, dialog, message, wParam, lParam);
}

LONG_PTR dialog_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return record_call(dialogRecorder, dialog, message, wParam, lParam);
}

LONG_PTR menu_callback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return record_call(menuRecorder, dialog, message, wParam, lParam);
}

void ToolkitWindowTest::SetUp() {
    ToolkitTest::SetUp();
    if (HasFatalFailure()) return;
    controlRecorder.reset();
    dialogRecorder.reset();
    menuRecorder.reset();
    ownerLog = OwnerLog();
    droppedCombo = 0;
}

void ToolkitWindowTest::TearDown() {
    ToolkitTest::TearDown();
    // Nothing queued for a window of this test reaches the next one.
    MSG message;
    while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
    }
}

HWND ToolkitWindowTest::make_dialog(HWND owner, uint32_t style) {
    HWND dialog = new_dialog(DIALOG_PIXELS, owner, "Dispatch", DIALOG_CENTRE, DIALOG_CENTRE, 300,
                             200, style, 0);
    EXPECT_NE(dialog, (HWND)0);
    return keep(dialog);
}

HWND ToolkitWindowTest::make_control(int32_t kind, HWND dialog, int32_t id,
                                     ControlCallback callback, const char* text,
                                     uint32_t style) {
    HWND control = add_control(kind, nullptr, dialog, id, text, nullptr, 10, 10 + 30 * (id % 5),
                               120, 24, style, 0, callback);
    EXPECT_NE(control, (HWND)0);
    return control;
}

HWND ToolkitWindowTest::make_owner() {
    HWND owner = CreateWindowExA(0, register_test_class("VornelleTestOwner", owner_procedure),
                                 "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300, 0, 0,
                                 GetModuleHandleA(NULL), 0);
    EXPECT_NE(owner, (HWND)0);
    return keep(owner);
}

bool ToolkitWindowTest::run_modal(HWND dialog, DialogCallback callback, int32_t* result,
                                  UINT safetyMs) {
    safetyDialog = dialog;
    safetyFired = false;
    UINT_PTR timer = SetTimer(0, 0, safetyMs, safety_timer);
    show_dialog_modal(dialog, callback, result);
    KillTimer(0, timer);
    return safetyFired;
}

void pump_messages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
}

}  // namespace vornelle_test
