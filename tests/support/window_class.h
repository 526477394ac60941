// The class a window belongs to, by name, and the name of the platform's
// dialog class: for tests in-process and for those that work a program from
// outside alike.
#pragma once
#include <windows.h>

#include <string>

namespace vornelle_test {

const char DIALOG_CLASS[] = "#32770";

inline std::string class_of(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

}  // namespace vornelle_test
