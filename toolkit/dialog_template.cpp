// How the template is written: fields stored little-endian byte by byte, so
// no alignment is needed, and every text byte zero-extended to a 16-bit unit,
// so 0xE9 becomes U+00E9 whatever the code page.
#include "toolkit/dialog_template.h"

namespace vornelle {

namespace {

const char DIALOG_BLANK_TITLE[] = " ";

// Little-endian stores, so the template needs no particular alignment here.
uint8_t* put16(uint8_t* at, uint32_t value) {
    at[0] = (uint8_t)value;
    at[1] = (uint8_t)(value >> 8);
    return at + 2;
}

uint8_t* put32(uint8_t* at, uint32_t value) { return put16(put16(at, value), value >> 16); }

// The characters as 16-bit units, each byte zero-extended, then a zero unit.
uint8_t* put_widened(uint8_t* at, const char* chars, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) at = put16(at, (unsigned char)chars[i]);
    return put16(at, 0);
}

uint32_t bounded_length(const char* chars, uint32_t limit) {
    uint32_t length = 0;
    if (chars) {
        while (length < limit && chars[length]) ++length;
    }
    return length;
}

}  // namespace

const char* dialog_title(const char* title, uint32_t* length) {
    uint32_t used = bounded_length(title, DIALOG_TITLE_MAX);
    if (used == 0) {
        *length = 1;
        return DIALOG_BLANK_TITLE;
    }
    *length = used;
    return title;
}

uint32_t dialog_style(uint32_t style, int32_t x, int32_t y) {
    uint32_t result = style ? style : DIALOG_DEFAULT_STYLE;
    result = (result | DIALOG_ADDED_STYLE) & ~DIALOG_REMOVED_STYLE;
    if (x == DIALOG_CENTRE || y == DIALOG_CENTRE) result |= DIALOG_CENTRE_STYLE;
    return result;
}

uint32_t build_dialog_template(uint8_t* buffer, const char* title, uint32_t titleLength,
                               uint32_t style, uint32_t extendedStyle, int32_t x, int32_t y,
                               int32_t width, int32_t height, const char* face, int32_t pointSize) {
    // Never more than DIALOG_TEMPLATE_MAX bytes, whatever the caller hands in.
    if (titleLength > DIALOG_TITLE_MAX) titleLength = DIALOG_TITLE_MAX;
    if (!title) titleLength = 0;
    uint32_t faceLength = bounded_length(face, DIALOG_FACE_MAX);

    uint8_t* at = buffer;
    at = put32(at, style);
    at = put32(at, extendedStyle);
    at = put16(at, 0);  // no items
    at = put16(at, (uint32_t)x);
    at = put16(at, (uint32_t)y);
    at = put16(at, (uint32_t)width);
    at = put16(at, (uint32_t)height);
    at = put16(at, 0);  // no menu
    at = put16(at, 0);  // the platform's dialog class
    at = put_widened(at, title, titleLength);
    at = put16(at, (uint32_t)pointSize);
    at = put_widened(at, face, faceLength);
    return (uint32_t)(at - buffer);
}

}  // namespace vornelle
