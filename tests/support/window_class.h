// The class a window belongs to, by name, the name of the platform's dialog
// class, and the throwaway classes that tests register for windows of their
// own: for tests in-process and for those that work a program from outside.
#pragma once
#include <windows.h>

#include <string>

namespace vornelle_test {

const char DIALOG_CLASS[] = "#32770";

// Registers a class of this program's named name whose windows run procedure
// and paint their background in the window colour; returns name, so that the
// call can stand where the class is named. A class of that name that is
// already registered is kept.
inline const char* register_test_class(const char* name, WNDPROC procedure = DefWindowProcA) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = name;
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    RegisterClassA(&windowClass);
    return name;
}

inline std::string class_of(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

}  // namespace vornelle_test
