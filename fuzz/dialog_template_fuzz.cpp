// Fuzz target: the dialog template builder, over titles, faces, styles,
// positions, sizes and point sizes from the input, into a heap block of exactly
// the template's greatest size (so AddressSanitizer sees any byte past it).
// Each template must be the one a plain byte-by-byte statement of the layout
// gives, no longer than that greatest size, and the style rules must hold.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "toolkit/dialog_template.h"

using namespace vornelle;

namespace {

void check(bool condition) {
    if (!condition) abort();
}

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back((uint8_t)value);
    out.push_back((uint8_t)(value >> 8));
}

// The layout again, field by field: what the builder must write.
std::vector<uint8_t> expected_template(const std::string& title, uint32_t style,
                                       uint32_t extendedStyle, uint32_t x, uint32_t y,
                                       uint32_t width, uint32_t height, const std::string& face,
                                       uint32_t pointSize) {
    std::vector<uint8_t> out;
    put16(out, style);
    put16(out, style >> 16);
    put16(out, extendedStyle);
    put16(out, extendedStyle >> 16);
    put16(out, 0);
    put16(out, x);
    put16(out, y);
    put16(out, width);
    put16(out, height);
    put16(out, 0);
    put16(out, 0);
    for (unsigned char c : title) put16(out, c);
    put16(out, 0);
    put16(out, pointSize);
    for (unsigned char c : face) put16(out, c);
    put16(out, 0);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = {data, size};
    uint8_t how = in.byte();
    uint32_t style = in.word(), extendedStyle = in.word();
    // Now and then the centring value, which the style rules look at.
    int32_t x = (how & 2) ? DIALOG_CENTRE : (int32_t)in.word();
    int32_t y = (how & 4) ? DIALOG_CENTRE : (int32_t)in.word();
    int32_t width = (int32_t)in.word(), height = (int32_t)in.word();
    int32_t pointSize = (int32_t)in.word();
    // The face as a thread state holds it: 32 bytes, a NUL among them or not.
    char face[32];
    for (char& c : face) c = (char)in.byte();
    std::string rest((const char*)in.data, in.size);

    // The title: as dialog creation takes it (NUL-terminated, then cut or
    // replaced by its rules), or handed in with any explicit length,
    // NUL bytes included, or absent.
    std::string title;
    const char* titleChars;
    uint32_t titleLength;
    if (how & 1) {
        titleChars = rest.c_str();
        titleLength = (uint32_t)rest.size();
        if (how & 8) titleChars = 0;
        title = titleChars ? rest.substr(0, DIALOG_TITLE_MAX) : "";
    } else {
        titleChars = dialog_title(rest.c_str(), &titleLength);
        check(titleLength >= 1 && titleLength <= DIALOG_TITLE_MAX);
        title.assign(titleChars, titleLength);
        std::string cut = std::string(rest.c_str()).substr(0, DIALOG_TITLE_MAX);
        check(title == (cut.empty() ? " " : cut));
    }

    uint32_t templateStyle = dialog_style(style, x, y);
    check((templateStyle & DIALOG_ADDED_STYLE) == DIALOG_ADDED_STYLE);
    check((templateStyle & DIALOG_REMOVED_STYLE) == 0);
    uint32_t base = style ? style : DIALOG_DEFAULT_STYLE;
    uint32_t centre = (x == DIALOG_CENTRE || y == DIALOG_CENTRE) ? DIALOG_CENTRE_STYLE : 0;
    check(templateStyle == (((base | DIALOG_ADDED_STYLE) & ~DIALOG_REMOVED_STYLE) | centre));

    uint8_t* buffer = (uint8_t*)malloc(DIALOG_TEMPLATE_MAX);
    memset(buffer, 0xCC, DIALOG_TEMPLATE_MAX);
    uint32_t length = build_dialog_template(buffer, titleChars, titleLength, templateStyle,
                                            extendedStyle, x, y, width, height, face, pointSize);
    check(length <= DIALOG_TEMPLATE_MAX);
    std::string faceUsed(face, strnlen(face, DIALOG_FACE_MAX));
    std::vector<uint8_t> expected =
        expected_template(title, templateStyle, extendedStyle, (uint32_t)x, (uint32_t)y,
                          (uint32_t)width, (uint32_t)height, faceUsed, (uint32_t)pointSize);
    check(length == expected.size());
    check(memcmp(buffer, expected.data(), length) == 0);
    for (uint32_t i = length; i < DIALOG_TEMPLATE_MAX; ++i) check(buffer[i] == 0xCC);
    free(buffer);
    return 0;
}
