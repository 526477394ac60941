// Copying from the pass-phrase box: WM_COPY, Ctrl+Insert and WM_CUT (which a
// read-only box serves by copying) put the selection on the clipboard with the
// formats that keep it out of clipboard history and the cloud clipboard.
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

WNDPROC boxDefaultProc = 0;

void attach_private_copy(HWND box) {
    if (!box) return;
    WNDPROC previous = (WNDPROC)SetWindowLongPtrA(box, GWLP_WNDPROC, (LONG_PTR)private_copy_proc);
    if (previous && previous != private_copy_proc) boxDefaultProc = previous;
}

// Ctrl+Insert without Shift: the edit control's copy key beside Ctrl+C. Under
// Wine the edit control copies on it without sending itself WM_COPY.
static bool is_copy_key(UINT message, WPARAM key) {
    return message == WM_KEYDOWN && key == VK_INSERT && GetKeyState(VK_CONTROL) < 0 &&
           GetKeyState(VK_SHIFT) >= 0;
}

LRESULT CALLBACK private_copy_proc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (is_copy_key(message, wParam)) message = WM_COPY;
    if (message == WM_COPY || message == WM_CUT) {
        copy_selection_privately(box);
        if (message == WM_COPY) return 0;
        message = WM_CLEAR;
    }
    return CallWindowProcA(boxDefaultProc, box, message, wParam, lParam);
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

// The selected characters of the box as a NUL-terminated wide string in a
// movable global block of *bytes bytes, or null for an empty selection or when
// memory runs out. The box's text is read into a block of the program's own,
// which is wiped before it is freed.
static HGLOBAL selected_text(HWND box, uint32_t* bytes) {
    DWORD start = 0, end = 0;
    SendMessageA(box, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    DWORD length = (DWORD)SendMessageA(box, WM_GETTEXTLENGTH, 0, 0);
    if (end > length) end = length;
    if (start >= end) return 0;

    char* text = system_allocate(end);  // holds end bytes and a NUL
    if (!text) return 0;
    DWORD copied = (DWORD)SendMessageA(box, WM_GETTEXT, end + 1, (LPARAM)text);
    if (end > copied) end = copied;

    HGLOBAL block = 0;
    int span = start < end ? (int)(end - start) : 0;
    int count = span ? MultiByteToWideChar(CP_ACP, 0, text + start, span, 0, 0) : 0;
    if (count > 0) {
        *bytes = ((uint32_t)count + 1) * sizeof(WCHAR);
        block = GlobalAlloc(GMEM_MOVEABLE, *bytes);
        WCHAR* wide = block ? (WCHAR*)GlobalLock(block) : 0;
        if (wide) {
            MultiByteToWideChar(CP_ACP, 0, text + start, span, wide, count);
            wide[count] = 0;
            GlobalUnlock(block);
        } else if (block) {
            GlobalFree(block);
            block = 0;
        }
    }
    wipe_bytes(text, system_block_length(text));
    system_free(text);
    return block;
}

bool copy_selection_privately(HWND box) {
    uint32_t textBytes = 0;
    HGLOBAL text = selected_text(box, &textBytes);
    if (!text) return false;

    // Every block is made before the clipboard is opened, so that running out
    // of memory leaves the clipboard alone. Zeroed blocks hold the DWORD 0.
    HGLOBAL marks[PRIVATE_COPY_FORMAT_COUNT] = {0};
    bool ready = true;
    for (int i = 0; i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
        marks[i] = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD));
        ready = ready && marks[i];
    }
    // The marks go first and the text only after all of them: the clipboard
    // never holds the text without them.
    bool put = ready && OpenClipboard(box);
    if (put) {
        EmptyClipboard();
        for (int i = 0; i < PRIVATE_COPY_FORMAT_COUNT; ++i) {
            UINT format = RegisterClipboardFormatA(PrivateCopyFormatTable[i]);
            if (put && format && SetClipboardData(format, marks[i]))
                marks[i] = 0;
            else
                put = false;
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
