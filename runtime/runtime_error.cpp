// raise_runtime_error: the error word takes status 0xB0 and the code (0 is
// recorded as 51), overwriting what it held; codes from 241 up are recorded
// without counting as a failure.
#include "runtime/runtime_error.h"

namespace vornelle {

static const uint16_t ERROR_STATUS_RAISED = 0xB0;
static const uint8_t ERROR_FIRST_NON_FAILURE = 241;

bool raise_runtime_error(ActivationRecord* activation, uint8_t code) {
    if (code == 0) code = RUNTIME_INVALID_DATA;
    if (activation) activation->errorWord = (uint16_t)(ERROR_STATUS_RAISED << 8 | code);
    return code < ERROR_FIRST_NON_FAILURE;
}

}  // namespace vornelle
