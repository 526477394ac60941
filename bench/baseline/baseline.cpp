// The yardstick for the benchmarks: the least program that does the product's
// visible job. One dialog from an in-memory template (label, read-only text box,
// button, label); each press puts 63 characters of 0-9 A-Z a-z drawn with
// BCryptGenRandom into the box; a PeekMessageA + Sleep(1) loop; exit code 0.
#include <windows.h>
#include <bcrypt.h>

#include "vornelle_version.h"

namespace {

const char ALPHABET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char INTRO[] =
    "This will generate a \"safe\" WPA Pass Phrase, safe meaning that it contains only "
    "A-Z, a-z, and 0-9, so it should work on all makes of hardware.  It generates a 63 "
    "character passphrase, for an extraordinary level of security.  You may select and "
    "copy directly to the clipboard.";

// Appends a NUL-terminated text widened byte by byte.
WORD* put_text(WORD* at, const char* text) {
    do *at++ = (BYTE)*text; while (*text++);
    return at;
}

WORD* put_item(WORD* at, DWORD style, short x, short y, short cx, short cy, WORD id,
               WORD classAtom, const char* text) {
    at = (WORD*)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
    DLGITEMTEMPLATE* item = (DLGITEMTEMPLATE*)at;
    item->style = style | WS_CHILD | WS_VISIBLE;
    item->dwExtendedStyle = 0;
    item->x = x;
    item->y = y;
    item->cx = cx;
    item->cy = cy;
    item->id = id;
    at = (WORD*)(item + 1);
    *at++ = 0xFFFF;
    *at++ = classAtom;
    at = put_text(at, text);
    *at++ = 0;  // no creation data
    return at;
}

void generate(HWND dialog) {
    char text[64];
    BYTE bytes[128];
    int n = 0;
    while (n < 63) {
        if (BCryptGenRandom(NULL, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) return;
        for (unsigned i = 0; i < sizeof bytes && n < 63; ++i)
            if (bytes[i] < 248) text[n++] = ALPHABET[bytes[i] % 62];
    }
    text[63] = 0;
    SetDlgItemTextA(dialog, 101, text);
    SecureZeroMemory(text, sizeof text);
    SecureZeroMemory(bytes, sizeof bytes);
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == 102) generate(dialog);
    if (message == WM_CLOSE) DestroyWindow(dialog);
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static DWORD buffer[512];
    DLGTEMPLATE* dlg = (DLGTEMPLATE*)buffer;
    dlg->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_CENTER;
    dlg->cdit = 4;
    dlg->cx = 320;  // 480 x 165 pixels at 6 x 13 base units
    dlg->cy = 102;
    WORD* at = (WORD*)(dlg + 1);
    *at++ = 0;  // no menu
    *at++ = 0;  // default class
    at = put_text(at, "Vornelle   v " VORNELLE_VERSION_TEXT);
    *at++ = 8;
    at = put_text(at, "MS Sans Serif");
    at = put_item(at, SS_LEFT, 7, 6, 307, 25, 111, 0x0082, INTRO);
    at = put_item(at, WS_BORDER | WS_TABSTOP | ES_READONLY, 7, 31, 307, 14, 101, 0x0081, "");
    at = put_item(at, WS_TABSTOP | BS_PUSHBUTTON, 87, 49, 147, 15, 102, 0x0080,
                  "Generate WPA-PSK (Pass phrase) Now");
    put_item(at, SS_LEFT, 200, 68, 147, 20, 211, 0x0082, "A yardstick for the Vornelle benchmarks.");

    HWND dialog = CreateDialogIndirectParamA(instance, dlg, NULL, dialog_proc, 0);
    if (!dialog) return 1;
    SetFocus(GetDlgItem(dialog, 102));
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    while (IsWindow(dialog)) {
        if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
