// A small console tool for scripts that drive vornelle.exe with real X input:
// it finds the program's visible dialog and prints where things are on the
// screen or what the text box holds, so the script knows where to click.
//   vornelle_probe window        window rectangle: left top right bottom
//   vornelle_probe button        screen point in the middle of the button
//   vornelle_probe close-button  screen point on the caption's close button
//   vornelle_probe text          the text box's text
//   vornelle_probe selection     the text box's selection: start end
//   vornelle_probe focus         identifier of the control with the focus (0: none)
//   vornelle_probe gone          waits until no such dialog is left
// Exit code 0 on success, 1 when the dialog is not there (within 20 s).
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "app/main_dialog.h"
#include "tests/support/outside_program.h"

using vornelle::MAIN_DIALOG_TITLE;
using namespace vornelle_test;

namespace {

HWND wait_for_dialog() {
    HWND dialog = 0;
    wait_until([&] { return (dialog = find_visible_dialog(0, MAIN_DIALOG_TITLE)) != 0; }, 20000);
    return dialog;
}

POINT middle_of(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return point;
}

// The middle of the area of the caption where the window itself answers that
// the point is on its close button.
bool close_button_point(HWND dialog, POINT* point) {
    RECT window = {};
    GetWindowRect(dialog, &window);
    POINT clientTop = {0, 0};
    ClientToScreen(dialog, &clientTop);
    long left = window.right, right = window.left, top = window.bottom, bottom = window.top;
    for (long y = window.top; y < clientTop.y; ++y) {
        for (long x = window.right - 1; x >= window.right - 80 && x >= window.left; --x) {
            DWORD_PTR hit = 0;
            SendMessageTimeoutA(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG,
                                2000, &hit);
            if (hit != HTCLOSE) continue;
            if (x < left) left = x;
            if (x > right) right = x;
            if (y < top) top = y;
            if (y > bottom) bottom = y;
        }
    }
    if (left > right) return false;
    point->x = (left + right) / 2;
    point->y = (top + bottom) / 2;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* command = argc > 1 ? argv[1] : "";
    if (strcmp(command, "gone") == 0) {
        return wait_until([] { return find_visible_dialog(0, MAIN_DIALOG_TITLE) == 0; }, 20000) ? 0 : 1;
    }
    HWND dialog = wait_for_dialog();
    if (!dialog) {
        fprintf(stderr, "vornelle_probe: no Vornelle dialog\n");
        return 1;
    }
    if (strcmp(command, "window") == 0) {
        RECT rect = {};
        GetWindowRect(dialog, &rect);
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    } else if (strcmp(command, "button") == 0) {
        POINT point = middle_of(GetDlgItem(dialog, 102));
        printf("%ld %ld\n", point.x, point.y);
    } else if (strcmp(command, "close-button") == 0) {
        POINT point = {};
        if (!close_button_point(dialog, &point)) {
            fprintf(stderr, "vornelle_probe: no close button found\n");
            return 1;
        }
        printf("%ld %ld\n", point.x, point.y);
    } else if (strcmp(command, "focus") == 0) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info);
        printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
    } else if (strcmp(command, "selection") == 0) {
        DWORD_PTR both = 0;  // start in the low word, end in the high word
        SendMessageTimeoutA(GetDlgItem(dialog, 101), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &both);
        printf("%u %u\n", (unsigned)LOWORD(both), (unsigned)HIWORD(both));
    } else if (strcmp(command, "text") == 0) {
        printf("%s\n", text_of(GetDlgItem(dialog, 101)).c_str());
    } else {
        fprintf(stderr, "usage: vornelle_probe window|button|close-button|focus|text|selection|gone\n");
        return 2;
    }
    fflush(stdout);
    return 0;
}
