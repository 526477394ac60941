// The StartupRecord that process start-up fills before the main function runs,
// and the show command read from the start-up information.
#include "runtime/startup.h"

namespace vornelle {

StartupRecord startupRecord;

int32_t show_command_of(const STARTUPINFOA& info) {
    if (info.dwFlags & STARTF_USESHOWWINDOW) return (int32_t)(uint16_t)info.wShowWindow;
    return SW_SHOWDEFAULT;
}

}  // namespace vornelle
