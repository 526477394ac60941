// Whether a text is a pass phrase as users get it: exactly 63 characters, each
// one of 0-9 A-Z a-z. The symbols are written out here rather than taken from
// the builder, so that the check holds the builder to them.
#pragma once
#include <string.h>

#include <string>

namespace vornelle_test {

const char PASSPHRASE_SYMBOLS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const size_t PASSPHRASE_CHARACTERS = 63;

// The length characters at text (NUL included among the characters refused).
inline bool is_passphrase(const char* text, size_t length) {
    if (length != PASSPHRASE_CHARACTERS) return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\0' || !strchr(PASSPHRASE_SYMBOLS, text[i])) return false;
    }
    return true;
}

// A NUL-terminated text.
inline bool is_passphrase(const char* text) {
    return is_passphrase(text, strlen(text));
}

inline bool is_passphrase(const std::string& text) {
    return is_passphrase(text.data(), text.size());
}

}  // namespace vornelle_test
