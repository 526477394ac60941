// Image controls: the reading of image names, the bitmap-resource test on this
// program's own resources (image_tests.rc), the choice between bitmap and icon
// and its styles, and the images that add_control loads, attaches, sizes and
// releases with the dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <stdio.h>
#include <string.h>

#include <string>

#include "tests/toolkit/creation_fixture.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/image_controls.h"
#include "toolkit/window_registry.h"

using namespace vornelle;
using vornelle_test::client_size;
using vornelle_test::CreationTest;

namespace {

// ---- Image names -----------------------------------------------------------

struct NameCase {
    const char* name;
    ImageNameForm form;
    int id;  // for IMAGE_NAME_INTEGER
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << '"' << c.name << '"'; }

class ImageNameReading : public ::testing::TestWithParam<NameCase> {};

TEST_P(ImageNameReading, FormAndIdentifier) {
    const NameCase& c = GetParam();
    ImageName name = image_name(c.name);
    EXPECT_EQ(name.form, c.form);
    if (c.form == IMAGE_NAME_INTEGER) {
        EXPECT_EQ(name.id, c.id);
    }
    if (c.form == IMAGE_NAME_STRING) {
        EXPECT_STREQ(name.text, c.name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ImageNameReading,
    ::testing::Values(NameCase{"#42", IMAGE_NAME_INTEGER, 42},
                      NameCase{"#00042", IMAGE_NAME_INTEGER, 42},
                      NameCase{"#0", IMAGE_NAME_INTEGER, 0},
                      NameCase{"#65535", IMAGE_NAME_INTEGER, 65535},
                      // Five digits at most: the sixth and later are not read.
                      NameCase{"#000042", IMAGE_NAME_INTEGER, 4},
                      NameCase{"#655359", IMAGE_NAME_INTEGER, 65535},
                      NameCase{"#100000", IMAGE_NAME_INTEGER, 10000},
                      // Reading stops at the first character that is not a digit.
                      NameCase{"#42abc", IMAGE_NAME_INTEGER, 42},
                      NameCase{"#7 8", IMAGE_NAME_INTEGER, 7},
                      // Nothing is named by no digit or a number beyond 16 bits.
                      NameCase{"#", IMAGE_NAME_NOTHING, 0},
                      NameCase{"#x42", IMAGE_NAME_NOTHING, 0},
                      NameCase{"#-1", IMAGE_NAME_NOTHING, 0},
                      NameCase{"#65536", IMAGE_NAME_NOTHING, 0},
                      NameCase{"#99999", IMAGE_NAME_NOTHING, 0},
                      NameCase{"LOGO", IMAGE_NAME_STRING, 0},
                      NameCase{"42", IMAGE_NAME_STRING, 0},
                      NameCase{" #42", IMAGE_NAME_STRING, 0},
                      NameCase{"", IMAGE_NAME_STRING, 0}));

TEST(ImageNameReading, NullIsTheEmptyString) {
    ImageName name = image_name(nullptr);
    EXPECT_EQ(name.form, IMAGE_NAME_STRING);
    EXPECT_STREQ(name.text, "");
}

struct MatchCase {
    const char* sought;
    const char* resource;  // a string name, or MAKEINTRESOURCEA(id)
    bool matches;
};

// The name with bytes beyond ASCII written as \xNN.
std::string printable(const char* name) {
    std::string text = "\"";
    for (const char* p = name; *p; ++p) {
        unsigned char c = (unsigned char)*p;
        if (c >= 0x20 && c < 0x7F) {
            text += (char)c;
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text + "\"";
}

void PrintTo(const MatchCase& c, std::ostream* out) {
    *out << printable(c.sought) << " against ";
    if (IS_INTRESOURCE(c.resource)) {
        *out << "identifier " << (UINT_PTR)c.resource;
    } else {
        *out << printable(c.resource);
    }
}

class ResourceNameMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ResourceNameMatching, Matches) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(resource_name_matches(image_name(c.sought), c.resource), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ResourceNameMatching,
    ::testing::Values(MatchCase{"#42", MAKEINTRESOURCEA(42), true},
                      MatchCase{"#43", MAKEINTRESOURCEA(42), false},
                      MatchCase{"#0", MAKEINTRESOURCEA(0), true},
                      // Integers and strings never meet.
                      MatchCase{"42", MAKEINTRESOURCEA(42), false},
                      MatchCase{"#42", "42", false},
                      MatchCase{"#42", "#42", false},
                      MatchCase{"#", MAKEINTRESOURCEA(0), false},
                      MatchCase{"#65536", MAKEINTRESOURCEA(0), false},
                      // Strings: ASCII letters without regard to case, all else exact.
                      MatchCase{"logo", "LOGO", true},
                      MatchCase{"LoGo", "LOGO", true},
                      MatchCase{"LOGO", "logo", true},
                      MatchCase{"LOG", "LOGO", false},
                      MatchCase{"LOGOS", "LOGO", false},
                      MatchCase{"A[", "a{", false},   // '[' and '{' differ by 0x20 too
                      MatchCase{"@", "`", false},
                      MatchCase{"\xE4", "\xC4", false},  // no letters beyond ASCII
                      MatchCase{"\xC4", "\xC4", true},
                      MatchCase{"", "", true}));

// ---- Bitmap resources of this program --------------------------------------

class BitmapResourceTest : public CreationTest {};

TEST_F(BitmapResourceTest, FindsTheProgramsBitmapsByName) {
    struct Case {
        const char* name;
        bool exists;
    };
    const Case cases[] = {
        {"LOGO", true},     {"Logo", true},     {"logo", true},      {"LOGO ", false},
        {"LOG", false},     {"#42", true},      {"#00042", true},    {"#042abc", true},
        {"#00040", false},  {"#000040", true},  // reads "00004": bitmap 4
        {"#65535", true},   {"#655359", true},  {"#1", true},
        // Beyond 16 bits nothing is named, not 0 or 1 wrapped around.
        {"#65536", false},  {"#65537", false},  {"#99999", false},   {"#", false},
        // Integers and strings never meet: bitmap 42 is no "42", "77" no 77.
        {"42", false},      {"77", true},       {"#77", false},
        // An icon is no bitmap.
        {"PICTURE", false}, {"#43", false},     {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bitmap_resource_exists(c.name), c.exists) << '"' << c.name << '"';
    }
    EXPECT_FALSE(bitmap_resource_exists(nullptr));
}

// ---- Bitmap or icon, before the window exists ------------------------------

struct TypeCase {
    const char* label;
    int32_t kind;
    const char* name;
    uint32_t style;
    uint32_t expectedFlag;
    uint32_t expectedStyle;
};

void PrintTo(const TypeCase& c, std::ostream* out) { *out << c.label; }

class ImageTypeChoice : public CreationTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(ImageTypeChoice, FlagAndStyle) {
    const TypeCase& c = GetParam();
    uint32_t flags = RECORD_PIXELS | RECORD_CONTROL;
    uint32_t style = c.style;
    decide_image_type(c.kind, c.name, &flags, &style);
    EXPECT_EQ(flags, RECORD_PIXELS | RECORD_CONTROL | c.expectedFlag);
    EXPECT_EQ(style, c.expectedStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ImageTypeChoice,
    ::testing::Values(
        TypeCase{"ImageBitmap", Image, "LOGO", 0x5000000E, RECORD_IMAGE_BITMAP, 0x5000000E},
        TypeCase{"FittedImageBitmap", FittedImage, "#42", 0x5000020E, RECORD_IMAGE_BITMAP,
                 0x5000020E},
        TypeCase{"ImageButtonBitmap", ImageButton, "#42", 0x50010080, RECORD_IMAGE_BITMAP,
                 0x50010080},
        // No such bitmap: an icon control, SS_ICON in place of the bitmap bits,
        // other bits kept...
        TypeCase{"ImageIcon", Image, "PICTURE", 0x5000000E, RECORD_IMAGE_ICON, 0x50000003},
        TypeCase{"FittedImageIconKeepsCentring", FittedImage, "#43", 0x5080020E,
                 RECORD_IMAGE_ICON, 0x50800203},
        // ... whether or not an icon of that name exists.
        TypeCase{"ImageNoIcon", Image, "NO_SUCH_IMAGE", 0x5000000E, RECORD_IMAGE_ICON,
                 0x50000003},
        TypeCase{"ImageButtonIcon", ImageButton, "PICTURE", 0x50010080, RECORD_IMAGE_ICON,
                 0x50010040},
        TypeCase{"DefaultImageButtonNoIcon", FittedImageButton, "#", 0x50000081,
                 RECORD_IMAGE_ICON, 0x50000041}));

// ---- Images on real controls -----------------------------------------------

SIZE bitmap_size(HANDLE bitmap) {
    BITMAP info = {};
    SIZE size = {-1, -1};
    if (GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
        size.cx = info.bmWidth;
        size.cy = info.bmHeight;
    }
    return size;
}

// The size of an icon's colour image, or -1 x -1 when it is no icon.
SIZE icon_size(HANDLE icon) {
    ICONINFO info = {};
    SIZE size = {-1, -1};
    if (!GetIconInfo((HICON)icon, &info)) return size;
    size = bitmap_size(info.hbmColor ? info.hbmColor : info.hbmMask);
    if (!info.hbmColor) size.cy /= 2;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

bool is_icon(HANDLE icon) { return icon_size(icon).cx > 0; }

class ImageControlTest : public CreationTest {
protected:
    HWND pixel_dialog() {
        return keep(new_dialog(DIALOG_PIXELS, NULL, "Images", -1, -1, 400, 300, 0, 0));
    }
    HWND units_dialog() { return keep(new_dialog(0, NULL, "Images", -1, -1, 200, 150, 0, 0)); }
    HWND add(int32_t kind, HWND dialog, int32_t id, const char* name, int x, int y, int w, int h,
             uint32_t style = 0) {
        return add_control(kind, "", dialog, id, name, nullptr, x, y, w, h, style, 0, nullptr);
    }
};

TEST_F(ImageControlTest, ABitmapIsLoadedAtItsOwnSizeAndAttached) {
    HWND dialog = pixel_dialog();
    HWND image = add(Image, dialog, 10, "Logo", 10, 10, 50, 50);
    HWND button = add(ImageButton, dialog, 11, "#00042", 70, 10, 50, 50);
    ASSERT_TRUE(image && button);

    WindowRecord* imageRecord = find_record(image);
    WindowRecord* buttonRecord = find_record(button);
    ASSERT_TRUE(imageRecord && buttonRecord);
    EXPECT_EQ(imageRecord->flags, RECORD_PIXELS | RECORD_CONTROL | RECORD_IMAGE_BITMAP);
    EXPECT_EQ(buttonRecord->flags, RECORD_PIXELS | RECORD_CONTROL | RECORD_IMAGE_BITMAP);
    EXPECT_EQ(GetWindowLongA(image, GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & (BS_BITMAP | BS_ICON), BS_BITMAP);

    // The controls show the record's images, which are the resources at their own sizes.
    EXPECT_EQ((HANDLE)SendMessageA(image, STM_GETIMAGE, IMAGE_BITMAP, 0), imageRecord->image);
    EXPECT_EQ((HANDLE)SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0), buttonRecord->image);
    SIZE logo = bitmap_size(imageRecord->image);
    SIZE green = bitmap_size(buttonRecord->image);
    EXPECT_EQ(logo.cx, 16);
    EXPECT_EQ(logo.cy, 12);
    EXPECT_EQ(green.cx, 20);
    EXPECT_EQ(green.cy, 10);
    EXPECT_EQ(GetObjectType(imageRecord->image), (DWORD)OBJ_BITMAP);
}

TEST_F(ImageControlTest, ANameWithoutABitmapMakesAnIconControl) {
    HWND dialog = pixel_dialog();
    HWND image = add(Image, dialog, 10, "picture", 10, 10, 40, 40);
    HWND button = add(ImageButton, dialog, 11, "#43", 60, 10, 40, 40);
    HWND missing = add(Image, dialog, 12, "NO_SUCH_IMAGE", 110, 10, 40, 40);
    HWND missingButton = add(ImageButton, dialog, 13, "NO_SUCH_IMAGE", 160, 10, 40, 40);
    ASSERT_TRUE(image && button && missing && missingButton);

    for (HWND control : {image, missing}) {
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    }
    for (HWND control : {button, missingButton}) {
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & (BS_BITMAP | BS_ICON), BS_ICON);
    }
    for (HWND control : {image, button, missing, missingButton}) {
        EXPECT_EQ(find_record(control)->flags,
                  RECORD_PIXELS | RECORD_CONTROL | RECORD_IMAGE_ICON);
    }
    // The icons that exist are loaded at their own size and shown.
    HANDLE icon = find_record(image)->image;
    HANDLE buttonIcon = find_record(button)->image;
    EXPECT_EQ(icon_size(icon).cx, 32);
    EXPECT_EQ(icon_size(buttonIcon).cy, 32);
    EXPECT_EQ((HANDLE)SendMessageA(image, STM_GETIMAGE, IMAGE_ICON, 0), icon);
    EXPECT_EQ((HANDLE)SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0), buttonIcon);
    // The others stay without an image; the control still exists.
    EXPECT_EQ(find_record(missing)->image, nullptr);
    EXPECT_EQ(find_record(missingButton)->image, nullptr);
    EXPECT_EQ(SendMessageA(missingButton, BM_GETIMAGE, IMAGE_ICON, 0), 0);
}

TEST_F(ImageControlTest, TheImageLoadedIsTheOneTheNameWasReadAs) {
    HWND dialog = pixel_dialog();
    // Six digits: "#000042" is read as bitmap 4 (8 x 8), not as 42.
    HWND six = add(Image, dialog, 10, "#000042", 10, 10, 40, 40);
    // "#" names nothing: an icon control without an image.
    HWND none = add(Image, dialog, 11, "#", 60, 10, 40, 40);
    ASSERT_TRUE(six && none);
    EXPECT_TRUE(find_record(six)->flags & RECORD_IMAGE_BITMAP);
    SIZE size = bitmap_size(find_record(six)->image);
    EXPECT_EQ(size.cx, 8);
    EXPECT_EQ(size.cy, 8);
    EXPECT_TRUE(find_record(none)->flags & RECORD_IMAGE_ICON);
    EXPECT_EQ(find_record(none)->image, nullptr);
}

TEST_F(ImageControlTest, AFittedImageTakesTheClientAreaSize) {
    HWND dialog = pixel_dialog();
    // A border makes the client area smaller than the window.
    HWND bitmap = add(FittedImage, dialog, 10, "LOGO", 10, 10, 50, 30, SS_BITMAP | WS_BORDER);
    HWND icon = add(FittedImage, dialog, 11, "PICTURE", 70, 10, 24, 20);
    ASSERT_TRUE(bitmap && icon);
    // The client area such a control has before it shows an image (a bitmap
    // static then fits its window to the bitmap).
    HWND reference = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | SS_BITMAP | WS_BORDER, 10,
                                     50, 50, 30, dialog, nullptr, GetModuleHandleA(NULL), nullptr);
    ASSERT_NE(reference, nullptr);
    SIZE client = client_size(reference);
    ASSERT_LT(client.cx, 50);
    SIZE loaded = bitmap_size(find_record(bitmap)->image);
    EXPECT_EQ(loaded.cx, client.cx);
    EXPECT_EQ(loaded.cy, client.cy);
    SIZE iconLoaded = icon_size(find_record(icon)->image);
    EXPECT_EQ(iconLoaded.cx, 24);
    EXPECT_EQ(iconLoaded.cy, 20);
}

TEST_F(ImageControlTest, AFittedImageButtonTakesItsPixelSize) {
    HWND dialog = units_dialog();
    HWND button = add(FittedImageButton, dialog, 10, "#42", 7, 9, 41, 23);
    ASSERT_NE(button, nullptr);
    RECT rect = {};
    GetWindowRect(button, &rect);
    SIZE loaded = bitmap_size(find_record(button)->image);
    EXPECT_EQ(loaded.cx, rect.right - rect.left);
    EXPECT_EQ(loaded.cy, rect.bottom - rect.top);
    EXPECT_GT(loaded.cx, 41);  // dialog units became pixels
    EXPECT_EQ(find_record(button)->flags, RECORD_UNITS | RECORD_CONTROL | RECORD_IMAGE_BITMAP);
}

TEST_F(ImageControlTest, ImageButtonsMayBecomeTheDefaultButton) {
    HWND dialog = pixel_dialog();
    HWND plain = add(ImageButton, dialog, 21, "#42", 10, 10, 40, 40);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), 21);
    HWND fitted = add(FittedImageButton, dialog, 22, "PICTURE", 60, 10, 40, 40,
                      WS_TABSTOP | BS_DEFPUSHBUTTON);
    ASSERT_NE(fitted, nullptr);
    LRESULT defId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
    EXPECT_EQ(LOWORD(defId), 22);
    EXPECT_NE(find_record(fitted)->image, nullptr);  // and it still gets its image
}

// A control that already shows an image hands it back when the loaded one is
// set; that image is destroyed with the function its type needs (DestroyIcon
// for an icon, DeleteObject for a bitmap; the other one would leave it
// alive), and the image just set stays, the record's.
TEST_F(ImageControlTest, TheImageAControlHandsBackIsDestroyedAsItsTypeNeeds) {
    struct Case {
        const char* label;
        int32_t kind;
        const char* className;
        uint32_t style;
        UINT setMessage;
        UINT getMessage;
        bool icon;
        const char* name;
    };
    const Case cases[] = {
        {"static, icon", Image, "STATIC", WS_CHILD | SS_ICON, STM_SETIMAGE, STM_GETIMAGE, true,
         "PICTURE"},
        {"static, bitmap", Image, "STATIC", WS_CHILD | SS_BITMAP, STM_SETIMAGE, STM_GETIMAGE,
         false, "LOGO"},
        {"button, icon", ImageButton, "BUTTON", WS_CHILD | BS_ICON, BM_SETIMAGE, BM_GETIMAGE,
         true, "PICTURE"},
        {"button, bitmap", ImageButton, "BUTTON", WS_CHILD | BS_BITMAP, BM_SETIMAGE, BM_GETIMAGE,
         false, "#42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HWND dialog = pixel_dialog();
        HWND control = CreateWindowExA(0, c.className, nullptr, c.style, 10, 10, 40, 40, dialog,
                                       (HMENU)30, GetModuleHandleA(NULL), nullptr);
        ASSERT_NE(control, nullptr);
        UINT type = c.icon ? IMAGE_ICON : IMAGE_BITMAP;
        BYTE andBits[16 * 16 / 8], xorBits[16 * 16 / 8];
        memset(andBits, 0xFF, sizeof andBits);
        memset(xorBits, 0, sizeof xorBits);
        HANDLE before = c.icon ? (HANDLE)CreateIcon(GetModuleHandleA(NULL), 16, 16, 1, 1,
                                                    andBits, xorBits)
                               : (HANDLE)CreateBitmap(8, 8, 1, 1, nullptr);
        ASSERT_NE(before, nullptr);
        SendMessageA(control, c.setMessage, type, (LPARAM)before);
        ASSERT_EQ((HANDLE)SendMessageA(control, c.getMessage, type, 0), before);
        WindowRecord* record = create_record(
            control, dialog,
            RECORD_PIXELS | RECORD_CONTROL | (c.icon ? RECORD_IMAGE_ICON : RECORD_IMAGE_BITMAP),
            c.kind);
        ASSERT_NE(record, nullptr);

        finish_image_control(record, 30, c.name, c.style, 40, 40, 40, 40);

        ASSERT_NE(record->image, nullptr);
        EXPECT_NE(record->image, before);
        EXPECT_EQ((HANDLE)SendMessageA(control, c.getMessage, type, 0), record->image);
        if (c.icon) {
            EXPECT_FALSE(is_icon(before));
            EXPECT_TRUE(is_icon(record->image));
        } else {
            EXPECT_EQ(GetObjectType(before), 0u);
            EXPECT_EQ(GetObjectType(record->image), (DWORD)OBJ_BITMAP);
        }
    }
}

TEST_F(ImageControlTest, ImagesGoWithTheDialog) {
    HWND dialog = new_dialog(DIALOG_PIXELS, NULL, "Images", -1, -1, 400, 300, 0, 0);
    ASSERT_NE(dialog, nullptr);
    HWND a = add(Image, dialog, 10, "LOGO", 10, 10, 40, 40);
    HWND b = add(FittedImageButton, dialog, 11, "#42", 60, 10, 40, 40);
    HWND c = add(Image, dialog, 12, "PICTURE", 110, 10, 40, 40);
    HWND d = add(ImageButton, dialog, 13, "#43", 160, 10, 40, 40);
    ASSERT_TRUE(a && b && c && d);
    HANDLE bitmaps[] = {find_record(a)->image, find_record(b)->image};
    HANDLE icons[] = {find_record(c)->image, find_record(d)->image};
    for (HANDLE bitmap : bitmaps) ASSERT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
    for (HANDLE icon : icons) ASSERT_TRUE(is_icon(icon));

    ASSERT_TRUE(DestroyWindow(dialog));
    EXPECT_EQ(find_record(dialog), nullptr);
    for (HANDLE bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u);
    for (HANDLE icon : icons) EXPECT_FALSE(is_icon(icon));
}

TEST_F(ImageControlTest, AShownImageDialogPaintsItsBitmap) {
    HWND dialog = pixel_dialog();
    HWND image = add(Image, dialog, 10, "#42", 10, 10, 40, 40);
    ASSERT_NE(image, nullptr);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog);
    HDC dc = GetDC(image);
    // The green bitmap, its top-left pixel white.
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 160, 0));
    ReleaseDC(image, dc);
}

}  // namespace
