// Keeps one process with a hidden window alive for the length of a test run,
// so that Wine keeps its desktop process instead of restarting it per test.
// It runs until its process is ended.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "VornelleTestKeepalive";
    RegisterClassA(&wc);
    CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 1, 1, NULL, NULL, instance, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
