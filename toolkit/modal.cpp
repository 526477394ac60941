// How a dialog runs modally: the DialogCallback's first two calls, then the
// owner disabled while a polling loop runs; end_dialog reads the owner before
// anything can destroy the dialog, and re-enables it before destroying it.
#include "toolkit/modal.h"

namespace vornelle {

struct SizeTypeRow {
    int32_t showCommand;
    WPARAM sizeType;
};

// The size type of the first WM_SIZE for the dialog's show command; any other
// show command (or no record) gives SIZE_RESTORED.
static const SizeTypeRow SizeTypeTable[] = {
    {SW_MAXIMIZE, SIZE_MAXIMIZED},
    {SW_MINIMIZE, SIZE_MINIMIZED},
};

static WPARAM size_type(int32_t showCommand) {
    for (size_t i = 0; i < sizeof SizeTypeTable / sizeof SizeTypeTable[0]; ++i) {
        if (SizeTypeTable[i].showCommand == showCommand) return SizeTypeTable[i].sizeType;
    }
    return SIZE_RESTORED;
}

static HWND owner_of(HWND dialog) { return (HWND)GetWindowLongPtrA(dialog, GWLP_HWNDPARENT); }

void show_dialog_modal(HWND dialog, DialogCallback callback, int32_t* result) {
    // The callback's first two calls come whether or not the window has a
    // record; without one, nothing is stored or shown after them.
    if (callback) {
        callback(dialog, WM_INITDIALOG, (WPARAM)dialog, 0);
        RECT client = {0, 0, 0, 0};
        GetClientRect(dialog, &client);
        LPARAM size = MAKELPARAM(client.right - client.left, client.bottom - client.top);
        callback(dialog, WM_SIZE, size_type((int32_t)record_value(dialog, FIELD_SHOW_COMMAND)),
                 size);
    }

    // No record, or the first two calls destroyed the dialog, record and all.
    WindowRecord* record = set_record_value(dialog, FIELD_CALLBACK, (LONG_PTR)callback);
    if (!record) return;
    record->flags |= RECORD_SHOWN;
    record->resultTarget = result;
    int32_t showCommand = record->showCommand;
    bool idleMessages = (record->style & DS_NOIDLEMSG) == 0;

    HWND owner = owner_of(dialog);
    if (owner) {
        SendMessageA(owner, WM_CANCELMODE, 0, 0);
        EnableWindow(owner, FALSE);
    }
    ShowWindow(dialog, showCommand);

    // The loop ends when the dialog window is gone, and only then: the modal
    // call lasts exactly as long as the dialog, so a WM_QUIT posted meanwhile
    // is dispatched like any message and cannot return to the caller with the
    // dialog still on screen. It polls rather than waits so that it notices
    // the dialog going inside a sent message, and can tell the owner it idles.
    MSG message;
    for (;;) {
        if (!PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
            // A message sent from another thread or process, handled inside the
            // poll, may have destroyed the dialog while nothing was queued.
            if (!IsWindow(dialog)) break;
            if (owner && idleMessages) {
                SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, (LPARAM)dialog);
            }
            Sleep(1);
            continue;
        }
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &message) && IsWindow(dialog)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (!IsWindow(dialog)) break;
    }

    if (owner) SetFocus(owner);
}

void end_dialog(HWND dialog, int32_t endCode) {
    // The owner is read first: the DialogCallback may destroy the dialog on
    // WM_CLOSE, and a gone dialog has no owner to tell.
    HWND owner = owner_of(dialog);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    bool ownerWasDisabled = false;
    if (owner) ownerWasDisabled = EnableWindow(owner, TRUE) != 0;
    int32_t* target = (int32_t*)record_value(dialog, FIELD_RESULT_TARGET);
    if (target) *target = endCode;
    // A dialog that could not be destroyed stays modal; one already gone does not.
    if (!DestroyWindow(dialog) && ownerWasDisabled && IsWindow(dialog)) {
        EnableWindow(owner, FALSE);
    }
}

}  // namespace vornelle
