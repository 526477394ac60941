// The pure part of dialog creation: the title and style rules and the
// in-memory DLGTEMPLATE (no items; title and face widened byte by byte). No
// platform call and no platform header, so it builds and is fuzzed anywhere.
#pragma once
#include <stdint.h>

namespace vornelle {

const int32_t DIALOG_CENTRE = -1;  // x or y: centre on the work area

const uint32_t DIALOG_DEFAULT_STYLE = 0x80C000D4;  // popup, caption, modal frame, font...
const uint32_t DIALOG_ADDED_STYLE = 0x00000054;    // DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK
const uint32_t DIALOG_REMOVED_STYLE = 0x10000002;  // WS_VISIBLE | DS_SYSMODAL
const uint32_t DIALOG_CENTRE_STYLE = 0x00000800;   // DS_CENTER
const uint32_t DIALOG_TITLE_MAX = 256;
const uint32_t DIALOG_FACE_MAX = 31;
const uint32_t DIALOG_TEMPLATE_MAX = 602;  // 256-character title, 31-character face

// The template style for a style argument (0: the default) and position.
uint32_t dialog_style(uint32_t style, int32_t x, int32_t y);
// Writes the DLGTEMPLATE (no items) into buffer, title and face widened byte by
// byte; returns its length in bytes, never more than DIALOG_TEMPLATE_MAX. At
// most 256 title bytes are used (none when title is null) and the face ends at
// its NUL or after 31 bytes.
uint32_t build_dialog_template(uint8_t* buffer, const char* title, uint32_t titleLength,
                               uint32_t style, uint32_t extendedStyle, int32_t x, int32_t y,
                               int32_t width, int32_t height, const char* face, int32_t pointSize);

// The title a dialog gets: its first 256 characters, or one space when it is
// empty (title null counts as empty). *length receives the length used.
const char* dialog_title(const char* title, uint32_t* length);

}  // namespace vornelle
