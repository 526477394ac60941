// Copying from the pass-phrase box: WM_COPY, Ctrl+Insert and WM_CUT (which a
// read-only box serves by copying) put the selection, read as UTF-16, on the
// clipboard with the formats that keep it out of clipboard history and the
// cloud clipboard; each box's previous procedure is kept in a table of the
// program's own.
#include "app/passphrase_box_copy.h"

#include <stdint.h>

#include "runtime/system_memory.h"
#include "runtime/wipe.h"

namespace vornelle {

const char* const PrivateCopyFormatTable[PRIVATE_COPY_FORMAT_COUNT] = {
    "ExcludeClipboardContentFromMonitorProcessing",
    "CanIncludeInClipboardHistory",
    "CanUploadToCloudClipboard",
};

// Each attached box and the procedure it had before, kept in the program's
// own memory: a window property could be written by any other process, and
// the box would then call whatever it held. A slot with a null box is free.
// Boxes are attached, and their procedure runs, on the one thread that owns
// them, so the table needs no lock.
struct AttachedBox {
    HWND box;
    WNDPROC previous;
};
static AttachedBox attachedBoxTable[PRIVATE_COPY_BOX_MAX];

// The slot of box; for a null box, the first free slot; null when none.
static AttachedBox* attached_box(HWND box) {
    for (int i = 0; i < PRIVATE_COPY_BOX_MAX; ++i) {
        if (attachedBoxTable[i].box == box) return &attachedBoxTable[i];
    }
    return 0;
}

bool attach_private_copy(HWND box) {
    if (!box) return false;
    if (attached_box(box)) return true;
    AttachedBox* slot = attached_box(0);
    WNDPROC previous = (WNDPROC)GetWindowLongPtrA(box, GWLP_WNDPROC);
    if (!slot || !previous) return false;
    // The slot is filled first, so the box finds it from its first message on.
    slot->box = box;
    slot->previous = previous;
    if (SetWindowLongPtrA(box, GWLP_WNDPROC, (LONG_PTR)private_copy_proc)) return true;
    slot->box = 0;
    return false;
}

// Ctrl+Insert without Shift: the edit control's copy key beside Ctrl+C. Under
// Wine the edit control copies on it without sending itself WM_COPY.
static bool is_copy_key(UINT message, WPARAM key) {
    return message == WM_KEYDOWN && key == VK_INSERT && GetKeyState(VK_CONTROL) < 0 &&
           GetKeyState(VK_SHIFT) >= 0;
}

LRESULT CALLBACK private_copy_proc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    AttachedBox* attached = attached_box(box);
    WNDPROC previous = attached ? attached->previous : 0;
    if (is_copy_key(message, wParam)) message = WM_COPY;
    if (message == WM_COPY || message == WM_CUT) {
        copy_selection_privately(box);
        if (message == WM_COPY) return 0;
        message = WM_CLEAR;
    }
    if (!previous) return 0;  // never attached: there is no procedure to answer
    // The box's last message: its slot is free for another box.
    if (message == WM_NCDESTROY) attached->box = 0;
    return CallWindowProcA(previous, box, message, wParam, lParam);
}

// Wipes bytes bytes of a global block that was not handed to the clipboard,
// and frees it.
static void discard_block(HGLOBAL block, uint32_t bytes) {
    if (!block) return;
    void* data = GlobalLock(block);
    if (data) {
        wipe_bytes(data, bytes);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

// The selected characters of the box as a NUL-terminated UTF-16 string in a
// movable global block of *bytes bytes, or null for an empty selection or when
// memory runs out. The text is read through the wide functions, so the
// selection's positions, which count characters, index it directly; it is read
// into a block of the program's own, which is wiped before it is freed.
static HGLOBAL selected_text(HWND box, uint32_t* bytes) {
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    // The whole text: the box's procedure is an 8-bit one, through which the
    // platform may count the length and the room for the text in bytes of the
    // code page, which can be more than the characters (never fewer).
    DWORD length = (DWORD)SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    if (start >= end || start >= length) return 0;

    WCHAR* text = (WCHAR*)system_allocate((length + 1) * sizeof(WCHAR));
    if (!text) return 0;
    DWORD copied = (DWORD)SendMessageW(box, WM_GETTEXT, length + 1, (LPARAM)text);
    if (end > copied) end = copied;

    HGLOBAL block = 0;
    if (start < end) {
        uint32_t count = end - start;
        *bytes = (count + 1) * sizeof(WCHAR);
        block = GlobalAlloc(GMEM_MOVEABLE, *bytes);
        WCHAR* wide = block ? (WCHAR*)GlobalLock(block) : 0;
        if (wide) {
            for (uint32_t i = 0; i < count; ++i) wide[i] = text[start + i];
            wide[count] = 0;
            GlobalUnlock(block);
        } else if (block) {
            GlobalFree(block);
            block = 0;
        }
    }
    wipe_bytes(text, system_block_length((char*)text));
    system_free((char*)text);
    return block;
}

// Registers every format of PrivateCopyFormatTable into formats; false when the
// platform refuses one.
static bool register_private_formats(UINT* formats) {
    for (int i = 0; i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
        formats[i] = RegisterClipboardFormatA(PrivateCopyFormatTable[i]);
        if (!formats[i]) return false;
    }
    return true;
}

bool copy_selection_privately(HWND box) {
    uint32_t textBytes = 0;
    HGLOBAL text = selected_text(box, &textBytes);
    if (!text) return false;

    // Every format is registered and every block made before the clipboard is
    // opened, so that a refusal or memory running out leaves it alone. Zeroed
    // blocks hold the DWORD 0.
    UINT formats[PRIVATE_COPY_FORMAT_COUNT] = {0};
    HGLOBAL marks[PRIVATE_COPY_FORMAT_COUNT] = {0};
    bool ready = register_private_formats(formats);
    for (int i = 0; ready && i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
        marks[i] = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD));
        ready = marks[i] != 0;
    }
    // The marks go first and the text only after all of them: the clipboard
    // never holds the text without them.
    bool put = ready && OpenClipboard(box);
    if (put) {
        EmptyClipboard();
        for (int i = 0; put && i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
            put = SetClipboardData(formats[i], marks[i]) != 0;
            if (put) marks[i] = 0;
        }
        if (put && SetClipboardData(CF_UNICODETEXT, text))
            text = 0;
        else
            put = false;
        CloseClipboard();
    }
    for (int i = 0; i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
        if (marks[i]) GlobalFree(marks[i]);
    }
    discard_block(text, textBytes);
    return put;
}

}  // namespace vornelle
