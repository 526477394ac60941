// Keeps one process with a hidden window alive for the length of a test run,
// so that Wine keeps its desktop process instead of restarting it per test
// program (a program that must start the desktop itself and does not get it
// in time cannot make a window at all). It writes "ready" to standard output
// once its window exists, exits with 1 when there is no window to be had, and
// otherwise runs until its process is ended.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "VornelleTestKeepalive";
    RegisterClassA(&wc);
    if (!CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 1, 1, NULL, NULL, instance,
                         NULL)) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
