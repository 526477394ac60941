// How the image kinds get their image: one table row per kind says how the
// image is sized and sent; bitmap or icon is chosen from the module's bitmap
// resources before the window is made, and the image is loaded and attached
// once the record exists, which then owns it.
#include "toolkit/image_controls.h"

#include "runtime/startup_record.h"
#include "toolkit/canvas.h"
#include "toolkit/control_kind.h"

namespace vornelle {

namespace {

const int32_t IMAGE_NAME_MAX_DIGITS = 5;

// How the image of a kind is sized when it is loaded.
enum ImageSizeRule : int32_t {
    IMAGE_SIZE_OWN = 0,     // the resource's own size
    IMAGE_SIZE_CLIENT = 1,  // the control's client area
    IMAGE_SIZE_PIXELS = 2,  // the control's pixel size as add_control placed it
};

struct ImageKindRow {
    int32_t kind;
    UINT setImageMessage;  // STM_SETIMAGE or BM_SETIMAGE
    ImageSizeRule sizeRule;
    uint32_t iconClearedStyle;  // removed from the style when the image is an icon
    uint32_t iconAddedStyle;    // added in their place
    bool takesDefaultButton;    // may become the dialog's default button
};

// Rows for kinds 10 to 13, in order.
// clang-format off
const ImageKindRow ImageKindTable[] = {
    // kind             setImageMessage sizeRule           iconClearedStyle iconAddedStyle takesDefaultButton
    {Image,             STM_SETIMAGE,   IMAGE_SIZE_OWN,    SS_BITMAP,       SS_ICON,       false},
    {FittedImage,       STM_SETIMAGE,   IMAGE_SIZE_CLIENT, SS_BITMAP,       SS_ICON,       false},
    {ImageButton,       BM_SETIMAGE,    IMAGE_SIZE_OWN,    BS_BITMAP,       BS_ICON,       true},
    {FittedImageButton, BM_SETIMAGE,    IMAGE_SIZE_PIXELS, BS_BITMAP,       BS_ICON,       true},
};
// clang-format on

const ImageKindRow* image_kind_row(int32_t kind) {
    if (kind < Image || kind > FittedImageButton) return 0;
    return &ImageKindTable[kind - Image];
}

unsigned char ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

bool equal_ignoring_ascii_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (ascii_lower((unsigned char)*a) != ascii_lower((unsigned char)*b)) return false;
        if (!*a) return true;
    }
}

struct BitmapSearch {
    ImageName sought;
    bool found;
};

// Visits every bitmap name of the module and always asks for the next one.
BOOL CALLBACK visit_bitmap_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR context) {
    BitmapSearch* search = (BitmapSearch*)context;
    if (resource_name_matches(search->sought, name)) search->found = true;
    return TRUE;
}

bool bitmap_exists(const ImageName& sought) {
    if (sought.form == IMAGE_NAME_NOTHING) return false;
    BitmapSearch search = {sought, false};
    // Fails (and visits nothing) when the module has no bitmap at all.
    EnumResourceNamesA(startupRecord.instance, (LPCSTR)RT_BITMAP, visit_bitmap_name,
                       (LONG_PTR)&search);
    return search.found;
}

// The name as LoadImageA takes it: the same reading as the existence test, so
// that the image loaded is the one that was found.
LPCSTR load_name(const ImageName& name) {
    return name.form == IMAGE_NAME_INTEGER ? MAKEINTRESOURCEA(name.id) : name.text;
}

void destroy_image(HANDLE image, uint32_t flags) {
    if (flags & RECORD_IMAGE_ICON) {
        DestroyIcon((HICON)image);
    } else if (flags & RECORD_IMAGE_BITMAP) {
        DeleteObject((HGDIOBJ)image);
    }
}

void attach_image(WindowRecord* record, const ImageKindRow& row, const char* imageName,
                  int32_t pixelWidth, int32_t pixelHeight) {
    ImageName name = image_name(imageName);
    if (name.form == IMAGE_NAME_NOTHING) return;
    UINT type;
    if (record->flags & RECORD_IMAGE_ICON) {
        type = IMAGE_ICON;
    } else if (record->flags & RECORD_IMAGE_BITMAP) {
        type = IMAGE_BITMAP;
    } else {
        return;
    }
    int cx = 0;
    int cy = 0;
    if (row.sizeRule == IMAGE_SIZE_CLIENT) {
        RECT client = {0, 0, 0, 0};
        GetClientRect(record->window, &client);
        cx = client.right - client.left;
        cy = client.bottom - client.top;
    } else if (row.sizeRule == IMAGE_SIZE_PIXELS) {
        cx = pixelWidth;
        cy = pixelHeight;
    }
    HANDLE image =
        LoadImageA(startupRecord.instance, load_name(name), type, cx, cy, LR_LOADMAP3DCOLORS);
    if (!image) return;
    record->image = image;
    HANDLE previous =
        (HANDLE)SendMessageA(record->window, row.setImageMessage, type, (LPARAM)image);
    // An image the control held before is not the record's; the one just set is.
    if (previous && previous != image) destroy_image(previous, record->flags);
}

}  // namespace

ImageName image_name(const char* name) {
    ImageName result = {IMAGE_NAME_STRING, 0, name ? name : ""};
    if (!name || name[0] != '#') return result;
    uint32_t value = 0;
    int32_t digits = 0;
    for (const char* p = name + 1; digits < IMAGE_NAME_MAX_DIGITS && *p >= '0' && *p <= '9';
         ++p, ++digits) {
        value = value * 10 + (uint32_t)(*p - '0');
    }
    if (digits == 0 || value > 0xFFFF) {
        result.form = IMAGE_NAME_NOTHING;
        result.text = 0;
        return result;
    }
    result.form = IMAGE_NAME_INTEGER;
    result.id = (uint16_t)value;
    result.text = 0;
    return result;
}

bool resource_name_matches(const ImageName& sought, const char* resourceName) {
    if (IS_INTRESOURCE(resourceName)) {
        return sought.form == IMAGE_NAME_INTEGER && sought.id == (uint16_t)(UINT_PTR)resourceName;
    }
    return sought.form == IMAGE_NAME_STRING && equal_ignoring_ascii_case(sought.text, resourceName);
}

bool bitmap_resource_exists(const char* name) { return bitmap_exists(image_name(name)); }

void decide_image_type(int32_t kind, const char* imageName, uint32_t* flags, uint32_t* style) {
    const ImageKindRow* row = image_kind_row(kind);
    if (!row) return;
    if (bitmap_resource_exists(imageName)) {
        *flags |= RECORD_IMAGE_BITMAP;
        return;
    }
    // An icon of that name may or may not exist; the control is an icon control either way.
    *flags |= RECORD_IMAGE_ICON;
    *style = (*style & ~row->iconClearedStyle) | row->iconAddedStyle;
}

void finish_image_control(WindowRecord* record, int32_t id, const char* imageName, uint32_t style,
                          int32_t pixelWidth, int32_t pixelHeight, int32_t width, int32_t height) {
    if (!record) return;
    if (record->kind == Canvas) {
        set_up_canvas(record, width, height);
        return;
    }
    const ImageKindRow* row = image_kind_row(record->kind);
    if (!row) return;
    if (row->takesDefaultButton && (style & BS_DEFPUSHBUTTON)) {
        SendMessageA(record->parent, DM_SETDEFID, (WPARAM)id, 0);
    }
    attach_image(record, *row, imageName, pixelWidth, pixelHeight);
}

}  // namespace vornelle
