// The program's entry: the platform's WinMain hands over to run_process with the
// application's main function and never comes back.
#include <windows.h>

#include "runtime/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    vornelle::run_process(vornelle::application_main);
}
