// The modal loop and end_dialog on real windows: the DialogCallback's first two
// calls, the owner disabled during the loop and enabled before the dialog goes,
// idle notifications, WM_QUIT, the end code, and the ways a dialog can vanish.
// Every loop is driven from inside (timers, callbacks, posted messages) and a
// safety timer ends it should the toolkit fail to.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "dispatch_support.h"
#include "toolkit/dialog_proc.h"
#include "toolkit/modal.h"

using namespace vornelle;
using namespace vornelle_test;

namespace {

const UINT_PTR DIALOG_TIMER = 1;

// What the callbacks and timers of one test saw; reset by the fixture.
struct Scene {
    HWND dialog = 0;
    HWND owner = 0;
    int32_t endCode = 0;
    bool ownerEnabledInLoop = true;
    bool ownerEnabledAtDestroy = false;
    bool ownerEnabledAtNcDestroy = false;
    bool dialogAliveAfterQuit = false;
    bool quitStillQueued = true;
    bool dialogAliveAfterEnd = false;
    bool ownerEnabledAfterEnd = true;
    HANDLE thread = 0;
};
Scene scene;

class ModalTest : public ToolkitWindowTest {
protected:
    void SetUp() override {
        ToolkitWindowTest::SetUp();
        scene = Scene();
    }
    void TearDown() override {
        if (scene.thread) {
            WaitForSingleObject(scene.thread, 5000);
            CloseHandle(scene.thread);
        }
        ToolkitWindowTest::TearDown();
    }
};

void CALLBACK post_close(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    PostMessageA(scene.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(ModalTest, CallbackFirstGetsInitAndSizeWhileTheDialogIsHidden) {
    HWND dialog = make_dialog();
    int32_t endCode = 12;
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));

    ASSERT_GE(dialogRecorder.calls.size(), 2u);
    const Call& init = dialogRecorder.calls[0];
    EXPECT_EQ(init.message, (UINT)WM_INITDIALOG);
    EXPECT_EQ(init.dialog, dialog);
    EXPECT_EQ(init.wParam, (WPARAM)dialog);
    EXPECT_EQ(init.lParam, 0);
    EXPECT_FALSE(init.dialogVisible);
    const Call& size = dialogRecorder.calls[1];
    EXPECT_EQ(size.message, (UINT)WM_SIZE);
    EXPECT_EQ(size.wParam, (WPARAM)SIZE_RESTORED);
    EXPECT_EQ(size.lParam, MAKELPARAM(300, 200));
    EXPECT_FALSE(size.dialogVisible);
    // Later messages arrive through dispatch, the close included.
    EXPECT_EQ(dialogRecorder.count(WM_CLOSE), 1);
    EXPECT_EQ(dialogRecorder.calls.back().message, (UINT)WM_NCDESTROY);
    EXPECT_EQ(endCode, 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(ModalTest, FirstSizeTypeFollowsTheShowCommand) {
    struct Case {
        int32_t showCommand;
        WPARAM sizeType;
    };
    const Case cases[] = {
        {SW_MAXIMIZE, SIZE_MAXIMIZED},
        {SW_MINIMIZE, SIZE_MINIMIZED},
        {SW_SHOW, SIZE_RESTORED},
        {SW_SHOWNORMAL, SIZE_RESTORED},
        {SW_SHOWMINNOACTIVE, SIZE_RESTORED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.showCommand);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        ASSERT_NE(set_record_value(dialog, FIELD_SHOW_COMMAND, c.showCommand), nullptr);
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));
        ASSERT_GE(dialogRecorder.calls.size(), 2u);
        EXPECT_EQ(dialogRecorder.calls[1].message, (UINT)WM_SIZE);
        EXPECT_EQ(dialogRecorder.calls[1].wParam, c.sizeType);
        EXPECT_EQ(dialogRecorder.calls[1].lParam, MAKELPARAM(300, 200));
    }
}

TEST_F(ModalTest, ShowsTheDialogWithItsShowCommand) {
    HWND dialog = make_dialog();
    scene.dialog = dialog;
    ASSERT_NE(set_record_value(dialog, FIELD_SHOW_COMMAND, SW_MAXIMIZE), nullptr);
    SetTimer(0, 0, 50, post_close);
    static bool zoomedInLoop;
    zoomedInLoop = false;
    dialogRecorder.action = [](const Call& call) {
        if (call.message == WM_CLOSE) zoomedInLoop = IsZoomed(call.dialog) != FALSE;
    };
    EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));
    EXPECT_TRUE(zoomedInLoop);
    EXPECT_NE(dialogRecorder.calls.size(), 0u);
}

TEST_F(ModalTest, RecordShowsTheModalState) {
    HWND dialog = make_dialog();
    int32_t endCode = 3;
    static uint32_t flagsInLoop;
    static LONG_PTR targetInLoop;
    static LONG_PTR callbackInLoop;
    flagsInLoop = 0;
    targetInLoop = 0;
    callbackInLoop = 0;
    dialogRecorder.action = [](const Call& call) {
        if (call.message != WM_CLOSE) return;
        WindowRecord* record = find_record(call.dialog);
        if (!record) return;
        flagsInLoop = record->flags;
        targetInLoop = (LONG_PTR)record->resultTarget;
        callbackInLoop = (LONG_PTR)record->callback;
    };
    EXPECT_EQ(find_record(dialog)->flags & RECORD_SHOWN, 0u);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));
    EXPECT_NE(flagsInLoop & RECORD_SHOWN, 0u);
    EXPECT_EQ(targetInLoop, (LONG_PTR)&endCode);
    EXPECT_EQ(callbackInLoop, (LONG_PTR)dialog_callback);
}

void CALLBACK check_after_quit(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    MSG message;
    scene.quitStillQueued = PeekMessageA(&message, 0, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    scene.dialogAliveAfterQuit = IsWindow(scene.dialog) != FALSE;
    PostMessageA(scene.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(ModalTest, QuitMessageIsDispatchedAndTheDialogStays) {
    HWND dialog = make_dialog();
    scene.dialog = dialog;
    int32_t endCode = 5;
    PostQuitMessage(3);
    SetTimer(0, 0, 80, check_after_quit);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));

    EXPECT_FALSE(scene.quitStillQueued);  // the loop took it ...
    EXPECT_TRUE(scene.dialogAliveAfterQuit);  // ... and went on
    EXPECT_EQ(endCode, 0);
}

void owner_watch(const Call& call) {
    if (call.message == WM_TIMER && call.wParam == DIALOG_TIMER) {
        KillTimer(call.dialog, DIALOG_TIMER);
        scene.ownerEnabledInLoop = IsWindowEnabled(scene.owner) != FALSE;
        PostMessageA(call.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (call.message == WM_DESTROY) scene.ownerEnabledAtDestroy = IsWindowEnabled(scene.owner);
    if (call.message == WM_NCDESTROY) {
        scene.ownerEnabledAtNcDestroy = IsWindowEnabled(scene.owner) != FALSE;
    }
}

TEST_F(ModalTest, OwnerIsDisabledDuringTheLoopAndGetsTheFocusAfter) {
    scene.owner = make_owner();
    HWND dialog = make_dialog(scene.owner);
    ASSERT_EQ((HWND)GetWindowLongPtrA(dialog, GWLP_HWNDPARENT), scene.owner);
    ownerLog.expectedDialog = dialog;
    dialogRecorder.action = owner_watch;
    SetFocus(scene.owner);
    int32_t endCode = 8;
    SetTimer(dialog, DIALOG_TIMER, 60, nullptr);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));

    EXPECT_FALSE(scene.ownerEnabledInLoop);
    EXPECT_TRUE(scene.ownerEnabledAtDestroy);
    EXPECT_TRUE(scene.ownerEnabledAtNcDestroy);
    EXPECT_TRUE(IsWindowEnabled(scene.owner));
    EXPECT_EQ(GetFocus(), scene.owner);
    // One from the toolkit, one from the platform as it disables the window.
    EXPECT_EQ(ownerLog.cancelMode, 2);
    EXPECT_GT(ownerLog.enterIdle, 0);  // one per empty poll
    EXPECT_EQ(ownerLog.enterIdleWrong, 0);
    EXPECT_EQ(endCode, 0);
}

TEST_F(ModalTest, NoIdleNotificationForADialogThatAsksForNone) {
    scene.owner = make_owner();
    HWND dialog = make_dialog(scene.owner, DIALOG_DEFAULT_STYLE | DS_NOIDLEMSG);
    WindowRecord* record = find_record(dialog);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->style & DS_NOIDLEMSG, 0u);
    ownerLog.expectedDialog = dialog;
    dialogRecorder.action = owner_watch;
    SetTimer(dialog, DIALOG_TIMER, 60, nullptr);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));

    EXPECT_FALSE(scene.ownerEnabledInLoop);
    EXPECT_EQ(ownerLog.cancelMode, 2);
    EXPECT_EQ(ownerLog.enterIdle, 0);
}

void end_from_callback(const Call& call) {
    if (call.message == WM_TIMER && call.wParam == DIALOG_TIMER) {
        KillTimer(call.dialog, DIALOG_TIMER);
        end_dialog(call.dialog, -42);
    }
}

TEST_F(ModalTest, EndCodeIsInTheResultVariableBeforeTheDialogGoes) {
    HWND dialog = make_dialog();
    int32_t endCode = 1;
    static int32_t* target;
    static int32_t valueAtDestroy;
    target = &endCode;
    valueAtDestroy = 0;
    dialogRecorder.action = [](const Call& call) {
        end_from_callback(call);
        if (call.message == WM_DESTROY) valueAtDestroy = *target;
    };
    SetTimer(dialog, DIALOG_TIMER, 30, nullptr);

    EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));

    EXPECT_EQ(endCode, -42);
    EXPECT_EQ(valueAtDestroy, -42);
    // WM_CLOSE first, then the destruction.
    std::vector<UINT> messages = dialogRecorder.messages();
    auto close = std::find(messages.begin(), messages.end(), (UINT)WM_CLOSE);
    auto destroy = std::find(messages.begin(), messages.end(), (UINT)WM_DESTROY);
    ASSERT_NE(close, messages.end());
    ASSERT_NE(destroy, messages.end());
    EXPECT_LT(close - messages.begin(), destroy - messages.begin());
}

TEST_F(ModalTest, EndDialogWithoutResultVariableOrRecord) {
    // No result variable: nothing is written anywhere, the dialog still goes.
    HWND dialog = make_dialog();
    dialogRecorder.action = end_from_callback;
    SetTimer(dialog, DIALOG_TIMER, 30, nullptr);
    EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));
    EXPECT_FALSE(IsWindow(dialog));

    // A dialog without a record: closed and destroyed, the owner enabled.
    HWND owner = make_owner();
    HWND plain = make_dialog(owner);
    ASSERT_TRUE(destroy_record(plain));
    EnableWindow(owner, FALSE);
    end_dialog(plain, 4);
    EXPECT_FALSE(IsWindow(plain));
    EXPECT_TRUE(IsWindowEnabled(owner));
}

bool destroyOnClose;

// However the DialogCallback answers the WM_CLOSE of end_dialog, even by
// destroying the dialog itself, the owner is enabled again and the loop ends.
TEST_F(ModalTest, OwnerIsEnabledAgainWhateverTheCallbackDoesWithTheClose) {
    struct Case {
        const char* name;
        bool destroy;
    };
    const Case cases[] = {{"the callback lets it be", false},
                          {"the callback destroys the dialog", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        HWND owner = make_owner();
        HWND dialog = make_dialog(owner);
        destroyOnClose = c.destroy;
        dialogRecorder.action = [](const Call& call) {
            if (call.message == WM_CLOSE && destroyOnClose) DestroyWindow(call.dialog);
        };
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);

        EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));

        EXPECT_EQ(dialogRecorder.count(WM_CLOSE), 1);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
}

void CALLBACK destroy_dialog(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    DestroyWindow(scene.dialog);
}

TEST_F(ModalTest, DialogDestroyedOtherwiseEndsTheLoopButLeavesOwnerAndResult) {
    scene.owner = make_owner();
    scene.dialog = make_dialog(scene.owner);
    int32_t endCode = 77;
    SetTimer(0, 0, 50, destroy_dialog);

    EXPECT_FALSE(run_modal(scene.dialog, dialog_callback, &endCode));

    EXPECT_FALSE(IsWindow(scene.dialog));
    EXPECT_EQ(endCode, 77);
    EXPECT_FALSE(IsWindowEnabled(scene.owner));
    EXPECT_EQ(find_record(scene.dialog), nullptr);
    EnableWindow(scene.owner, TRUE);
}

// Nothing is called, shown or touched for a window without a record, not
// even the DialogCallback's first two calls.
TEST_F(ModalTest, WindowWithoutRecordReturnsAtOnceAndCallsNothing) {
    HWND owner = make_owner();
    HWND stranger =
        keep(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 120, 80, owner, 0, 0, 0));
    ASSERT_NE(stranger, (HWND)0);
    HWND unrecorded = make_dialog(owner);
    ASSERT_TRUE(destroy_record(unrecorded));
    struct Case {
        const char* name;
        HWND window;
    };
    const Case cases[] = {{"a null handle", 0},
                          {"a window the toolkit did not make", stranger},
                          {"a dialog whose record is gone", unrecorded}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        ownerLog = OwnerLog();
        ownerLog.expectedDialog = c.window;
        int32_t endCode = 21;

        EXPECT_FALSE(run_modal(c.window, dialog_callback, &endCode));

        EXPECT_EQ(dialogRecorder.calls.size(), 0u);
        if (c.window) {
            EXPECT_TRUE(IsWindow(c.window));
            EXPECT_FALSE(IsWindowVisible(c.window));
        }
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(ownerLog.cancelMode, 0);
        EXPECT_EQ(ownerLog.enterIdle, 0);
        EXPECT_EQ(endCode, 21);
    }
}

DWORD WINAPI end_from_other_thread(void*) {
    end_dialog(scene.dialog, 9);
    return 0;
}

void CALLBACK watch_other_thread(HWND, UINT, UINT_PTR id, DWORD) {
    if (WaitForSingleObject(scene.thread, 0) != WAIT_OBJECT_0) return;
    KillTimer(0, id);
    scene.dialogAliveAfterEnd = IsWindow(scene.dialog) != FALSE;
    scene.ownerEnabledAfterEnd = IsWindowEnabled(scene.owner) != FALSE;
    DestroyWindow(scene.dialog);
}

void CALLBACK start_other_thread(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    scene.thread = CreateThread(0, 0, end_from_other_thread, 0, 0, 0);
    SetTimer(0, 0, 20, watch_other_thread);
}

// DestroyWindow refuses a window of another thread: the dialog stays modal,
// the end code is stored and the owner is disabled again.
TEST_F(ModalTest, FailedDestroyLeavesTheDialogModalWithOwnerDisabled) {
    scene.owner = make_owner();
    scene.dialog = make_dialog(scene.owner);
    int32_t endCode = 1;
    SetTimer(0, 0, 30, start_other_thread);

    EXPECT_FALSE(run_modal(scene.dialog, dialog_callback, &endCode));

    ASSERT_NE(scene.thread, (HANDLE)0);
    EXPECT_TRUE(scene.dialogAliveAfterEnd);
    EXPECT_FALSE(scene.ownerEnabledAfterEnd);
    EXPECT_EQ(endCode, 9);
    EXPECT_EQ(dialogRecorder.count(WM_CLOSE), 1);
    EnableWindow(scene.owner, TRUE);
}

DWORD WINAPI send_close_later(void*) {
    Sleep(100);
    SendMessageA(scene.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}

// A message sent from another thread is handled inside the poll; when it ends
// the dialog while nothing is queued, the loop still notices.
TEST_F(ModalTest, DialogClosedBySentMessageWhileIdleEndsTheLoop) {
    scene.dialog = make_dialog();
    int32_t endCode = 6;
    scene.thread = CreateThread(0, 0, send_close_later, 0, 0, 0);
    ASSERT_NE(scene.thread, (HANDLE)0);
    DWORD start = GetTickCount();

    bool safetyFired = run_modal(scene.dialog, nullptr, &endCode, 3000);

    EXPECT_FALSE(safetyFired);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_FALSE(IsWindow(scene.dialog));
    EXPECT_EQ(endCode, 0);
}

}  // namespace
