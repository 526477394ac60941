// The program's main function: the one that the application defines and that
// process start-up calls once, after every floor is up, with the start-up
// values; its result is the process exit code.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

typedef int32_t (*MainFunction)(HINSTANCE instance, HINSTANCE previous, const char* commandTail,
                                int32_t showCommand);

// Provided by the application: the one main function of the program.
int32_t application_main(HINSTANCE instance, HINSTANCE previous, const char* commandTail,
                         int32_t showCommand);

}  // namespace vornelle
