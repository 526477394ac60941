// Image and canvas controls: the two finishing points of add_control for the
// image kinds (10 to 13) and Canvas (14), one before the control's window is
// created and one after its record exists, and the bitmap-resource test behind
// the choice between a bitmap and an icon. The canvas surface is in canvas.h.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "toolkit/window_registry.h"

namespace vornelle {

// What an image name names. "#" followed by decimal digits is an integer
// resource identifier: at most five digits are read, reading stops at the
// first other character, and no digit or a value above 65535 names nothing.
// Any other name (null counts as empty) is a string.
enum ImageNameForm : int32_t {
    IMAGE_NAME_NOTHING = 0,
    IMAGE_NAME_INTEGER = 1,
    IMAGE_NAME_STRING = 2,
};

struct ImageName {
    ImageNameForm form;
    uint16_t id;       // IMAGE_NAME_INTEGER
    const char* text;  // IMAGE_NAME_STRING
};

ImageName image_name(const char* name);

// Whether a resource name as the platform hands it out (an integer identifier
// made with MAKEINTRESOURCE, or a string) is the sought name: integers match
// integers of the same value, strings match strings equal but for the case of
// the ASCII letters a to z.
bool resource_name_matches(const ImageName& sought, const char* resourceName);

// True when the module (startupRecord.instance) holds a bitmap resource of
// that name.
bool bitmap_resource_exists(const char* name);

// Image kinds, before the window exists: chooses bitmap or icon for the image
// named imageName, adding RECORD_IMAGE_BITMAP or RECORD_IMAGE_ICON to *flags
// and fitting the image bits of *style to the choice (SS_ICON or BS_ICON in
// place of the bitmap bits when the module has no such bitmap).
void decide_image_type(int32_t kind, const char* imageName, uint32_t* flags, uint32_t* style);

// Image kinds and Canvas, once the control's record exists: loads and attaches
// the image, or builds the canvas surface and font, keeping what it makes in
// the record. style is the control's final style, pixelWidth and pixelHeight
// its size in pixels, width and height the caller's (dialog units in units
// mode). Nothing is reported: an image that cannot be loaded leaves the
// control without one.
void finish_image_control(WindowRecord* record, int32_t id, const char* imageName, uint32_t style,
                          int32_t pixelWidth, int32_t pixelHeight, int32_t width, int32_t height);

}  // namespace vornelle
