// Runtime error words: every invocation of an application procedure (the main
// function's run, each call of a callback) owns one ActivationRecord, and the
// runtime operations it calls record their failures there and nowhere else.
#pragma once
#include <stdint.h>

namespace vornelle {

enum RuntimeError : uint8_t {
    RUNTIME_INVALID_REQUEST = 5,
    RUNTIME_OUT_OF_MEMORY = 7,
    RUNTIME_INVALID_DATA = 51,
};

struct ActivationRecord {
    uint16_t errorWord;  // 0xB0 in the high byte after an error, its code in the low
};

// Records code (0 becomes 51) in the activation's error word; true when the
// code counts as a failure (below 241). A null activation records nothing.
bool raise_runtime_error(ActivationRecord* activation, uint8_t code);

}  // namespace vornelle
