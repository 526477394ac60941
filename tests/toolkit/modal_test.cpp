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
#include "tests/support/import_patch.h"
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

// The loop's polls and sleeps, watched through its own calls of PeekMessageA
// and Sleep.
struct PollWatch {
    int emptyPolls = 0;
    std::vector<DWORD> sleeps;  // the argument of each Sleep
};
PollWatch pollWatch;
BOOL(WINAPI* platformPeek)(MSG*, HWND, UINT, UINT, UINT);
VOID(WINAPI* platformSleep)(DWORD);
BOOL WINAPI watch_peek(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    BOOL got = platformPeek(message, window, first, last, removal);
    if (!got) ++pollWatch.emptyPolls;
    return got;
}
VOID WINAPI watch_sleep(DWORD milliseconds) {
    pollWatch.sleeps.push_back(milliseconds);
    platformSleep(milliseconds);
}

// While the queue is empty the loop sleeps exactly one millisecond per poll,
// and tells the owner it idles once per poll: it answers the user at once and
// leaves the processor to others in between.
TEST_F(ModalTest, EachEmptyPollSleepsOneMillisecondAndTellsTheOwnerOnce) {
    scene.owner = make_owner();
    HWND dialog = make_dialog(scene.owner);
    ownerLog.expectedDialog = dialog;
    dialogRecorder.action = owner_watch;
    SetTimer(dialog, DIALOG_TIMER, 200, nullptr);
    pollWatch = PollWatch();
    bool safety;
    {
        ScopedImportPatch peek("user32.dll", "PeekMessageA", (void*)watch_peek);
        ScopedImportPatch sleep("kernel32.dll", "Sleep", (void*)watch_sleep);
        ASSERT_NE(peek.original, nullptr);
        ASSERT_NE(sleep.original, nullptr);
        platformPeek = (BOOL(WINAPI*)(MSG*, HWND, UINT, UINT, UINT))peek.original;
        platformSleep = (VOID(WINAPI*)(DWORD))sleep.original;
        safety = run_modal(dialog, dialog_callback, nullptr);
    }
    EXPECT_FALSE(safety) << "the loop did not end with the dialog";
    EXPECT_FALSE(IsWindow(dialog));
    // 200 ms of polls that sleep 1 ms each: many, even on a busy machine.
    EXPECT_GE(pollWatch.emptyPolls, 5);
    EXPECT_EQ((int)pollWatch.sleeps.size(), pollWatch.emptyPolls);
    EXPECT_EQ((size_t)std::count(pollWatch.sleeps.begin(), pollWatch.sleeps.end(), 1u),
              pollWatch.sleeps.size())
        << "a sleep of another length than 1 ms";
    EXPECT_EQ(ownerLog.enterIdle, pollWatch.emptyPolls);
    EXPECT_EQ(ownerLog.enterIdleWrong, 0);
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

// For a window without a record the DialogCallback still gets its first two
// calls; then nothing is shown or touched and the call returns at once.
TEST_F(ModalTest, WindowWithoutRecordGetsTheFirstTwoCallsAndNothingElse) {
    HWND owner = make_owner();
    HWND stranger =
        keep(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 120, 80, owner, 0, 0, 0));
    ASSERT_NE(stranger, (HWND)0);
    HWND unrecorded = make_dialog(owner);
    ASSERT_TRUE(destroy_record(unrecorded));
    struct Case {
        const char* name;
        HWND window;
        LPARAM clientSize;
    };
    const Case cases[] = {{"a null handle", 0, 0},
                          {"a window the toolkit did not make", stranger, MAKELPARAM(120, 80)},
                          {"a dialog whose record is gone", unrecorded, MAKELPARAM(300, 200)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogRecorder.reset();
        ownerLog = OwnerLog();
        ownerLog.expectedDialog = c.window;
        int32_t endCode = 21;
        DWORD start = GetTickCount();

        EXPECT_FALSE(run_modal(c.window, dialog_callback, &endCode));

        EXPECT_LT(GetTickCount() - start, 1000u) << "it did not return at once";
        ASSERT_EQ(dialogRecorder.calls.size(), 2u);
        EXPECT_EQ(dialogRecorder.calls[0].message, (UINT)WM_INITDIALOG);
        EXPECT_EQ(dialogRecorder.calls[0].wParam, (WPARAM)c.window);
        EXPECT_EQ(dialogRecorder.calls[0].lParam, 0);
        EXPECT_EQ(dialogRecorder.calls[1].message, (UINT)WM_SIZE);
        EXPECT_EQ(dialogRecorder.calls[1].wParam, (WPARAM)SIZE_RESTORED);
        EXPECT_EQ(dialogRecorder.calls[1].lParam, c.clientSize);
        if (c.window) {
            EXPECT_TRUE(IsWindow(c.window));
            EXPECT_FALSE(IsWindowVisible(c.window));
            EXPECT_EQ(find_record(c.window), nullptr);
        }
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(ownerLog.cancelMode, 0);
        EXPECT_EQ(ownerLog.enterIdle, 0);
        EXPECT_EQ(endCode, 21);
    }
    // Without a callback there is nothing to call.
    dialogRecorder.reset();
    EXPECT_FALSE(run_modal(unrecorded, nullptr, nullptr));
    EXPECT_FALSE(IsWindowVisible(unrecorded));
}

// Whatever the DialogCallback answers its first two calls, the dialog runs.
TEST_F(ModalTest, TheFirstTwoAnswersOfTheCallbackAreIgnored) {
    const LONG_PTR answers[] = {1, -1, 0x1234};
    for (LONG_PTR answer : answers) {
        SCOPED_TRACE(answer);
        dialogRecorder.reset();
        HWND dialog = make_dialog();
        int32_t endCode = 5;
        static bool visibleAtClose;
        visibleAtClose = false;
        static LONG_PTR firstAnswer;
        firstAnswer = answer;
        // The answer goes to the first two calls only; later ones answer 0.
        dialogRecorder.action = [](const Call& call) {
            if (call.message == WM_CLOSE) visibleAtClose = call.dialogVisible;
            dialogRecorder.result = dialogRecorder.calls.size() <= 2 ? firstAnswer : 0;
        };
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);

        EXPECT_FALSE(run_modal(dialog, dialog_callback, &endCode));

        ASSERT_GE(dialogRecorder.calls.size(), 3u);
        EXPECT_EQ(dialogRecorder.calls[0].message, (UINT)WM_INITDIALOG);
        EXPECT_EQ(dialogRecorder.calls[1].message, (UINT)WM_SIZE);
        EXPECT_TRUE(visibleAtClose) << "the dialog was not shown";
        EXPECT_EQ(endCode, 0);
        EXPECT_FALSE(IsWindow(dialog));
    }
}

// What the toolkit's own code asks of the platform for an owner, watched at
// its imports: EnableWindow, SetFocus, and the two messages it sends an owner.
struct OwnerCalls {
    int enableWindow = 0;
    int setFocus = 0;
    int cancelMode = 0;
    int enterIdle = 0;
};
OwnerCalls ownerCalls;
BOOL(WINAPI* platformEnableWindow)(HWND, BOOL);
HWND(WINAPI* platformSetFocus)(HWND);
LRESULT(WINAPI* platformSendMessage)(HWND, UINT, WPARAM, LPARAM);
BOOL WINAPI watch_enable_window(HWND window, BOOL enable) {
    ++ownerCalls.enableWindow;
    return platformEnableWindow(window, enable);
}
HWND WINAPI watch_set_focus(HWND window) {
    ++ownerCalls.setFocus;
    return platformSetFocus(window);
}
LRESULT WINAPI watch_send_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CANCELMODE) ++ownerCalls.cancelMode;
    if (message == WM_ENTERIDLE) ++ownerCalls.enterIdle;
    return platformSendMessage(window, message, wParam, lParam);
}

// A dialog without an owner: the loop idles and the dialog ends, and no owner
// is cancelled, disabled, enabled, told of idling or given the focus.
TEST_F(ModalTest, ADialogWithoutOwnerTouchesNoOwner) {
    HWND dialog = make_dialog();
    ASSERT_EQ(GetWindowLongPtrA(dialog, GWLP_HWNDPARENT), 0);
    scene.dialog = dialog;
    ownerCalls = OwnerCalls();
    SetTimer(0, 0, 80, post_close);  // the loop idles until then
    {
        ScopedImportPatch enable("user32.dll", "EnableWindow", (void*)watch_enable_window);
        ScopedImportPatch focus("user32.dll", "SetFocus", (void*)watch_set_focus);
        ScopedImportPatch send("user32.dll", "SendMessageA", (void*)watch_send_message);
        ASSERT_NE(enable.original, nullptr);
        ASSERT_NE(focus.original, nullptr);
        ASSERT_NE(send.original, nullptr);
        platformEnableWindow = (BOOL(WINAPI*)(HWND, BOOL))enable.original;
        platformSetFocus = (HWND(WINAPI*)(HWND))focus.original;
        platformSendMessage = (LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM))send.original;

        EXPECT_FALSE(run_modal(dialog, dialog_callback, nullptr));
    }
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ownerCalls.enableWindow, 0);
    EXPECT_EQ(ownerCalls.setFocus, 0);
    EXPECT_EQ(ownerCalls.cancelMode, 0);
    EXPECT_EQ(ownerCalls.enterIdle, 0);
}

// The loop's own TranslateMessage and DispatchMessageA, watched for one
// message posted to a control of the dialog.
const UINT VANISH_MESSAGE = WM_APP + 7;
int vanishTranslated;
int vanishDispatched;
BOOL(WINAPI* platformTranslate)(const MSG*);
LRESULT(WINAPI* platformDispatch)(const MSG*);
BOOL WINAPI watch_translate(const MSG* message) {
    if (message->message == VANISH_MESSAGE) ++vanishTranslated;
    return platformTranslate(message);
}
LRESULT WINAPI watch_dispatch(const MSG* message) {
    if (message->message == VANISH_MESSAGE) ++vanishDispatched;
    return platformDispatch(message);
}

// A control that destroys its dialog when it receives VANISH_MESSAGE.
LRESULT CALLBACK vanishing_control(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == VANISH_MESSAGE) DestroyWindow(GetParent(window));
    return DefWindowProcA(window, message, wParam, lParam);
}

// IsDialogMessageA takes a message for the dialog's control, and handling it
// destroys the dialog: the loop still translates and dispatches that message,
// then ends.
TEST_F(ModalTest, AMessageTakenWhileTheDialogVanishedIsStillDispatched) {
    HWND dialog = make_dialog();
    HWND control =
        add_control(CustomClass, register_test_class("VornelleVanishingControl", vanishing_control),
                    dialog, 810, "", nullptr, 10, 10, 50, 20, WS_CHILD | WS_VISIBLE, 0, nullptr);
    ASSERT_NE(control, (HWND)0);
    PostMessageA(control, VANISH_MESSAGE, 0, 0);
    vanishTranslated = vanishDispatched = 0;
    bool safety;
    {
        ScopedImportPatch translate("user32.dll", "TranslateMessage", (void*)watch_translate);
        ScopedImportPatch dispatch("user32.dll", "DispatchMessageA", (void*)watch_dispatch);
        ASSERT_NE(translate.original, nullptr);
        ASSERT_NE(dispatch.original, nullptr);
        platformTranslate = (BOOL(WINAPI*)(const MSG*))translate.original;
        platformDispatch = (LRESULT(WINAPI*)(const MSG*))dispatch.original;
        safety = run_modal(dialog, nullptr, nullptr);
    }
    EXPECT_FALSE(safety) << "the loop did not end with the dialog";
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(vanishTranslated, 1);
    EXPECT_EQ(vanishDispatched, 1);
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
