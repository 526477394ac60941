// The one StartupRecord, zero until start-up fills it, and the show command
// taken from the start-up information.
#include "runtime/startup_record.h"

namespace vornelle {

StartupRecord startupRecord;

int32_t show_command_of(const STARTUPINFOA& info) {
    if (info.dwFlags & STARTF_USESHOWWINDOW) return (int32_t)(uint16_t)info.wShowWindow;
    return SW_SHOWDEFAULT;
}

}  // namespace vornelle
