// The program's entry: the platform's WinMain first restricts the library
// search to the system folder, then hands over to run_process with the
// application's main function and never comes back.
#include <windows.h>

#include "process/startup.h"
#include "runtime/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything that could load a library (COM, the first window): from
    // here on no library is found by name in the program's own folder.
    vornelle::restrict_library_search();
    vornelle::run_process(vornelle::application_main);
}
