// The window registry on real windows and real GDI objects: lookups, record
// creation, field access by name, the order in which a dialog's records go, and
// which platform objects a destroyed record releases (and which it must not).
#include "toolkit/window_registry.h"

#include "runtime/system_memory.h"
#include "tests/support/import_patch.h"
#include "tests/toolkit/time_limit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace vornelle;

namespace {

const int32_t RED = 0x0000FF;
const int32_t BLUE = 0xFF0000;

// Whether an icon handle still names an icon.
bool icon_alive(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
}

bool gdi_alive(HGDIOBJ object) { return GetObjectType(object) != 0; }

struct RegistryTest : ::testing::Test {
    std::vector<HWND> windows;
    std::vector<HGDIOBJ> objects;
    std::vector<HICON> icons;
    std::vector<HDC> dcs;

    void SetUp() override { reset_registry(); }

    void TearDown() override {
        while (WindowRecord* head = windowRegistry.registryHead) {
            if (!destroy_record(head->window)) windowRegistry.registryHead = head->nextRecord;
        }
        for (HDC dc : dcs)
            if (GetObjectType(dc)) DeleteDC(dc);
        for (HGDIOBJ object : objects)
            if (gdi_alive(object)) DeleteObject(object);
        for (HICON icon : icons)
            if (icon_alive(icon)) DestroyIcon(icon);
        for (auto w = windows.rbegin(); w != windows.rend(); ++w) DestroyWindow(*w);
    }

    HWND top_window() {
        HWND w = CreateWindowExA(0, "STATIC", "dialog", WS_POPUP, 0, 0, 200, 100, 0, 0,
                                 GetModuleHandleA(0), 0);
        EXPECT_NE(w, (HWND)0);
        windows.push_back(w);
        return w;
    }

    HWND child_window(HWND parent) {
        HWND w = CreateWindowExA(0, "STATIC", "control", WS_CHILD, 0, 0, 20, 10, parent, 0,
                                 GetModuleHandleA(0), 0);
        EXPECT_NE(w, (HWND)0);
        windows.push_back(w);
        return w;
    }

    WindowRecord* dialog_record(HWND w) {
        WindowRecord* r = create_record(w, 0, RECORD_DIALOG | RECORD_PIXELS, 0);
        EXPECT_NE(r, nullptr);
        return r;
    }

    WindowRecord* control_record(HWND w, HWND parent, int32_t kind = 5) {
        WindowRecord* r = create_record(w, parent, RECORD_CONTROL | RECORD_PIXELS, kind);
        EXPECT_NE(r, nullptr);
        return r;
    }

    HBRUSH brush(COLORREF color) {
        HBRUSH b = CreateSolidBrush(color);
        EXPECT_NE(b, (HBRUSH)0);
        objects.push_back(b);
        return b;
    }

    HBITMAP bitmap() {
        HBITMAP b = CreateBitmap(8, 8, 1, 1, 0);
        EXPECT_NE(b, (HBITMAP)0);
        objects.push_back(b);
        return b;
    }

    HFONT font() {
        HFONT f = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                              "Arial");
        EXPECT_NE(f, (HFONT)0);
        objects.push_back(f);
        return f;
    }

    HICON icon() {
        BYTE andBits[16 * 16 / 8];
        BYTE xorBits[16 * 16 / 8];
        std::memset(andBits, 0xFF, sizeof andBits);
        std::memset(xorBits, 0, sizeof xorBits);
        HICON i = CreateIcon(GetModuleHandleA(0), 16, 16, 1, 1, andBits, xorBits);
        EXPECT_NE(i, (HICON)0);
        icons.push_back(i);
        return i;
    }

    HDC memory_dc() {
        HDC dc = CreateCompatibleDC(0);
        EXPECT_NE(dc, (HDC)0);
        dcs.push_back(dc);
        return dc;
    }

    // A dialog and four controls, made in that order: [0] the dialog, [1]..[4]
    // the controls, oldest first.
    std::vector<HWND> dialog_with_four_controls() {
        std::vector<HWND> made;
        made.push_back(top_window());
        dialog_record(made[0]);
        for (int i = 0; i < 4; ++i) {
            made.push_back(child_window(made[0]));
            control_record(made.back(), made[0]);
        }
        return made;
    }

    // A probe that tells which of two records went first: both share one memory
    // surface holding a bitmap; only `first` knows what to select back. If
    // `first` goes first, the bitmap is selected out and deleted; if `second`
    // goes first, it deletes the surface with the bitmap still in it, and the
    // bitmap survives. Returns the bitmap.
    HBITMAP order_probe(HWND first, HWND second) {
        HDC dc = memory_dc();
        HBITMAP canvas = bitmap();
        HGDIOBJ displaced = SelectObject(dc, canvas);
        EXPECT_NE(displaced, (HGDIOBJ)0);
        EXPECT_NE(set_record_value(first, FIELD_CANVAS_DC, (LONG_PTR)dc), nullptr);
        EXPECT_NE(set_record_value(first, FIELD_CANVAS_OLD_BITMAP, (LONG_PTR)displaced), nullptr);
        EXPECT_NE(set_record_value(second, FIELD_CANVAS_DC, (LONG_PTR)dc), nullptr);
        return canvas;
    }
};

// Every field, read by its own name.
struct NamedField {
    RecordField field;
    const char* name;
    std::function<LONG_PTR(const WindowRecord&)> read;
};

LONG_PTR bits_of(float f) {
    int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

#define NAMED(field, member) {field, #member, [](const WindowRecord& r) { return (LONG_PTR)r.member; }}
#define USER_WORD(n) {FIELD_USER_DATA_##n, "userData" #n, [](const WindowRecord& r) { return (LONG_PTR)r.userData[n - 1]; }}
const NamedField settableFields[] = {
    NAMED(FIELD_PARENT, parent),
    NAMED(FIELD_FLAGS, flags),
    NAMED(FIELD_SHOW_COMMAND, showCommand),
    NAMED(FIELD_FONT, font),
    NAMED(FIELD_CALLBACK, callback),
    NAMED(FIELD_RESULT_TARGET, resultTarget),
    NAMED(FIELD_ACCELERATORS, accelerators),
    NAMED(FIELD_BACK_BRUSH, backBrush),
    NAMED(FIELD_BACK_COLOR, backColor),
    NAMED(FIELD_TEXT_COLOR, textColor),
    NAMED(FIELD_CANVAS_DC, canvasDc),
    NAMED(FIELD_CANVAS_OLD_BITMAP, canvasOldBitmap),
    {FIELD_CANVAS_SCALE_X, "canvasScaleX", [](const WindowRecord& r) { return bits_of(r.canvasScaleX); }},
    {FIELD_CANVAS_SCALE_Y, "canvasScaleY", [](const WindowRecord& r) { return bits_of(r.canvasScaleY); }},
    NAMED(FIELD_CANVAS_WIDTH, canvasWidth),
    NAMED(FIELD_CANVAS_HEIGHT, canvasHeight),
    NAMED(FIELD_CANVAS_OLD_FONT, canvasOldFont),
    NAMED(FIELD_CANVAS_CHAR_WIDTH, canvasCharWidth),
    NAMED(FIELD_CANVAS_LINE_HEIGHT, canvasLineHeight),
    NAMED(FIELD_CANVAS_FORE_COLOR, canvasForeColor),
    NAMED(FIELD_CANVAS_BACK_COLOR, canvasBackColor),
    NAMED(FIELD_KIND, kind),
    NAMED(FIELD_STYLE, style),
    NAMED(FIELD_IMAGE, image),
    NAMED(FIELD_BIG_ICON, bigIcon),
    NAMED(FIELD_SMALL_ICON, smallIcon),
    USER_WORD(1), USER_WORD(2), USER_WORD(3), USER_WORD(4),
    USER_WORD(5), USER_WORD(6), USER_WORD(7), USER_WORD(8),
};
#undef NAMED
#undef USER_WORD

// ---- lookups -------------------------------------------------------------

TEST_F(RegistryTest, EmptyRegistryFindsNothing) {
    HWND w = top_window();
    WindowRecord* record = reinterpret_cast<WindowRecord*>(1);
    EXPECT_EQ(find_record(w), nullptr);
    EXPECT_EQ(record_value(w, FIELD_FLAGS, &record), 0);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(set_record_value(w, FIELD_USER_DATA_1, 7), nullptr);
    EXPECT_FALSE(destroy_record(w));
    EXPECT_EQ(first_control_of(w), (HWND)0);
    EXPECT_EQ(first_control_of(0), (HWND)0);
    for (int32_t color : {RED, 0, COLOR_SYSTEM, COLOR_TRANSPARENT, COLOR_UNTOUCHED})
        EXPECT_EQ(brush_for_color(color), (HBRUSH)0) << color;
    EXPECT_EQ(windowRegistry.registryHead, nullptr);
}

TEST_F(RegistryTest, WindowWithoutRecordIsNotFoundAndNothingOfOthersIsReleased) {
    HWND owner = top_window();
    HWND stranger = top_window();
    WindowRecord* r = dialog_record(owner);
    HBRUSH b = brush(RED);
    HBITMAP image = bitmap();
    r->backColor = RED;
    r->backBrush = b;
    r->image = image;
    r->flags |= RECORD_IMAGE_BITMAP;
    WindowRecord* record = reinterpret_cast<WindowRecord*>(1);
    EXPECT_EQ(record_value(stranger, FIELD_BACK_COLOR, &record), 0);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(set_record_value(stranger, FIELD_BACK_COLOR, BLUE), nullptr);
    EXPECT_FALSE(destroy_record(stranger));
    EXPECT_EQ(find_record(owner), r);
    EXPECT_EQ(r->backColor, RED);
    EXPECT_TRUE(gdi_alive(b));
    EXPECT_TRUE(gdi_alive(image));
}

TEST_F(RegistryTest, FirstControlOfAndBrushForColorTakeTheNewestMatch) {
    HWND d = top_window();
    HWND other = top_window();
    dialog_record(d);
    HWND older = child_window(d);
    control_record(older, d);
    HWND foreign = child_window(other);
    control_record(foreign, other);
    HWND newer = child_window(d);
    control_record(newer, d);
    // A dialog record whose parent is d is not a control of d.
    HWND owned = top_window();
    create_record(owned, d, RECORD_DIALOG | RECORD_PIXELS, 0);
    EXPECT_EQ(first_control_of(d), newer);
    EXPECT_EQ(first_control_of(other), foreign);
    EXPECT_EQ(first_control_of(newer), (HWND)0);

    HBRUSH olderBrush = brush(RED), newerBrush = brush(RED);
    set_record_value(older, FIELD_BACK_COLOR, RED);
    set_record_value(older, FIELD_BACK_BRUSH, (LONG_PTR)olderBrush);
    set_record_value(newer, FIELD_BACK_COLOR, RED);
    set_record_value(newer, FIELD_BACK_BRUSH, (LONG_PTR)newerBrush);
    EXPECT_EQ(brush_for_color(RED), newerBrush);
    EXPECT_EQ(brush_for_color(BLUE), (HBRUSH)0);
    // The first record of the colour has no brush: null, even though an older
    // record of that colour has one.
    set_record_value(newer, FIELD_BACK_BRUSH, 0);
    EXPECT_EQ(brush_for_color(RED), (HBRUSH)0);
}

// ---- create_record -------------------------------------------------------

TEST_F(RegistryTest, NewRecordHasTheNamedFieldsUntouchedColoursAndZeroElsewhere) {
    HWND d = top_window();
    HWND c = child_window(d);
    WindowRecord* older = dialog_record(d);
    uint8_t code = 0;
    WindowRecord* r = create_record(c, d, RECORD_CONTROL | RECORD_UNITS, 9, &code);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(windowRegistry.registryHead, r);
    EXPECT_EQ(find_record(c), r);

    WindowRecord expected;
    std::memset(&expected, 0, sizeof expected);
    expected.nextRecord = older;
    expected.window = c;
    expected.parent = d;
    expected.flags = RECORD_CONTROL | RECORD_UNITS;
    expected.kind = 9;
    expected.backColor = -3;
    expected.textColor = -3;
    expected.canvasForeColor = GetSysColor(COLOR_WINDOWTEXT);
    expected.canvasBackColor = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(std::memcmp(r, &expected, sizeof expected), 0);
    EXPECT_EQ(record_value(c, FIELD_BACK_COLOR), -3);
    EXPECT_EQ(record_value(c, FIELD_TEXT_COLOR), -3);
}

TEST_F(RegistryTest, NewRecordTakesTheSystemColoursCurrentWhenItIsMade) {
    const INT elements[] = {COLOR_WINDOWTEXT, COLOR_BTNFACE};
    const COLORREF saved[] = {GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE)};
    const COLORREF changed[] = {RGB(0x12, 0x34, 0x56), RGB(0x65, 0x43, 0x21)};
    ASSERT_NE(saved[0], changed[0]);
    ASSERT_TRUE(SetSysColors(2, elements, changed));
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    SetSysColors(2, elements, saved);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->canvasForeColor, changed[0]);
    EXPECT_EQ(r->canvasBackColor, changed[1]);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), saved[0]);
}

TEST_F(RegistryTest, SecondRecordForTheSameWindowFailsWithCode5AndLeavesTheFirst) {
    HWND d = top_window();
    HWND c = child_window(d);
    WindowRecord* first = control_record(c, d, 1);
    first->backColor = RED;
    first->userData[3] = 44;
    WindowRecord before = *first;

    uint8_t code = 0;
    EXPECT_EQ(create_record(c, 0, RECORD_DIALOG | RECORD_UNITS, 0, &code), nullptr);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(find_record(c), first);
    EXPECT_EQ(windowRegistry.registryHead, first);
    EXPECT_EQ(first->nextRecord, nullptr);
    EXPECT_EQ(std::memcmp(first, &before, sizeof before), 0);
}

struct FailingAllocator {
    SystemAllocator saved = systemAllocator;
    FailingAllocator() {
        systemAllocator = [](uint32_t) -> char* { return nullptr; };
    }
    ~FailingAllocator() { systemAllocator = saved; }
};

TEST_F(RegistryTest, AllocationFailureGivesCode5AndLinksNothing) {
    HWND d = top_window();
    WindowRecord* existing = dialog_record(d);
    HWND c = child_window(d);
    uint8_t code = 0;
    {
        FailingAllocator failing;
        EXPECT_EQ(create_record(c, d, RECORD_CONTROL | RECORD_PIXELS, 5, &code), nullptr);
    }
    EXPECT_EQ(code, 5);
    EXPECT_EQ(find_record(c), nullptr);
    EXPECT_EQ(windowRegistry.registryHead, existing);
    EXPECT_EQ(existing->nextRecord, nullptr);
    // With memory back, the window gets its record.
    EXPECT_NE(create_record(c, d, RECORD_CONTROL | RECORD_PIXELS, 5), nullptr);
}

// ---- record_value / set_record_value ----------------------------------------

TEST_F(RegistryTest, EachFieldIsWrittenAndReadByItsName) {
    HWND d = top_window();
    WindowRecord* older = dialog_record(d);
    HWND w = child_window(d);
    WindowRecord* r = control_record(w, d);
    int i = 0;
    for (const NamedField& f : settableFields) {
        SCOPED_TRACE(f.name);
        std::vector<LONG_PTR> before;
        for (const NamedField& g : settableFields) before.push_back(g.read(*r));
        const LONG_PTR value = (LONG_PTR)(0x5A000000 + 0x10101 * ++i);
        EXPECT_EQ(set_record_value(w, f.field, value), r);
        EXPECT_EQ(f.read(*r), value);
        WindowRecord* found = nullptr;
        EXPECT_EQ(record_value(w, f.field, &found), value);
        EXPECT_EQ(found, r);
        for (size_t j = 0; j < before.size(); ++j) {
            if (settableFields[j].field != f.field) {
                EXPECT_EQ(settableFields[j].read(*r), before[j]) << settableFields[j].name;
            }
        }
        EXPECT_EQ(r->window, w);
        EXPECT_EQ(r->nextRecord, older);
    }
    EXPECT_EQ(record_value(w, FIELD_WINDOW), (LONG_PTR)w);
    EXPECT_EQ(record_value(w, FIELD_NEXT_RECORD), (LONG_PTR)older);
}

TEST_F(RegistryTest, SignedWordsAndFloatsKeepTheirValue) {
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    EXPECT_EQ(set_record_value(w, FIELD_TEXT_COLOR, COLOR_SYSTEM), r);
    EXPECT_EQ(record_value(w, FIELD_TEXT_COLOR), -1);
    EXPECT_EQ(r->textColor, -1);
    EXPECT_EQ(set_record_value(w, FIELD_CANVAS_SCALE_Y, bits_of(1.75f)), r);
    EXPECT_EQ(r->canvasScaleY, 1.75f);
    EXPECT_EQ(record_value(w, FIELD_CANVAS_SCALE_Y), bits_of(1.75f));
    EXPECT_EQ(set_record_value(w, FIELD_USER_DATA_8, -123456), r);
    EXPECT_EQ(r->userData[7], -123456);
}

TEST_F(RegistryTest, FieldNumberOutsideTheTableReadsAndStoresNothing) {
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    WindowRecord before = *r;
    WindowRecord* found = r;
    for (int field : {(int)FIELD_COUNT, (int)FIELD_COUNT + 100, -1}) {
        EXPECT_EQ(record_value(w, (RecordField)field, &found), 0) << field;
        EXPECT_EQ(found, nullptr) << field;
        EXPECT_EQ(set_record_value(w, (RecordField)field, 0x7777), nullptr) << field;
    }
    EXPECT_EQ(std::memcmp(r, &before, sizeof before), 0);
}

// The link field is the registry's own: it reads as any other field, but a
// caller's write would change the list behind the lock (a record linked to
// itself makes every later walk spin with the lock held), so none is made.
TEST_F(RegistryTest, TheLinkFieldIsReadButNeverWritten) {
    HWND d = top_window();
    WindowRecord* older = dialog_record(d);
    HWND w = child_window(d);
    WindowRecord* r = control_record(w, d);
    HWND stranger = top_window();
    struct Case {
        const char* name;
        LONG_PTR value;
    };
    const Case cases[] = {{"the record itself", (LONG_PTR)r}, {"null, cutting the list", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(set_record_value(w, FIELD_NEXT_RECORD, c.value), nullptr);
        EXPECT_EQ(r->nextRecord, older);
        EXPECT_EQ(record_value(w, FIELD_NEXT_RECORD), (LONG_PTR)older);
        // A walk to the end of the list still ends, and finds every record.
        bool ended = vornelle_test::finishes_within(5000, [&] { find_record(stranger); });
        EXPECT_TRUE(ended) << "a lookup of a window without a record never ended";
        if (!ended) windowRegistry.registryLock = 0;
        r->nextRecord = older;
        EXPECT_EQ(find_record(d), older);
        EXPECT_EQ(windowRegistry.registryHead, r);
    }
}

// ---- destroy_record: order ---------------------------------------------------

TEST_F(RegistryTest, DialogGoesWithItsControlsAndTheRegistryIsAsBefore) {
    HWND earlier = top_window();
    WindowRecord* kept = dialog_record(earlier);
    kept->userData[0] = 17;
    WindowRecord keptBefore = *kept;

    std::vector<HWND> made = dialog_with_four_controls();
    std::vector<HBITMAP> images;
    for (HWND w : made) {
        images.push_back(bitmap());
        WindowRecord* r = find_record(w);
        r->image = images.back();
        r->flags |= RECORD_IMAGE_BITMAP;
    }
    EXPECT_TRUE(destroy_record(made[0]));
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(find_record(made[i]), nullptr) << i;
        EXPECT_FALSE(gdi_alive(images[i])) << i;
    }
    EXPECT_EQ(windowRegistry.registryHead, kept);
    EXPECT_EQ(std::memcmp(kept, &keptBefore, sizeof keptBefore), 0);
    EXPECT_FALSE(destroy_record(made[0]));
}

TEST_F(RegistryTest, OrderProbeTellsWhichRecordWentFirst) {
    HWND d = top_window();
    dialog_record(d);
    for (bool firstGoesFirst : {false, true}) {
        SCOPED_TRACE(firstGoesFirst ? "first went first" : "second went first");
        HWND first = child_window(d), second = child_window(d);
        control_record(first, d);
        control_record(second, d);
        HBITMAP probe = order_probe(first, second);
        EXPECT_TRUE(destroy_record(firstGoesFirst ? first : second));
        EXPECT_TRUE(destroy_record(firstGoesFirst ? second : first));
        // Only when the second went first does the probe's bitmap stay.
        EXPECT_EQ(gdi_alive(probe), !firstGoesFirst);
    }
}

TEST_F(RegistryTest, ControlsGoNewestFirstAndTheDialogLast) {
    // made[4] is the newest control, made[0] the dialog.
    struct Pair { int first, second; };
    const Pair expectedOrder[] = {{4, 3}, {3, 2}, {2, 1}, {1, 0}, {4, 0}};
    for (const Pair& p : expectedOrder) {
        SCOPED_TRACE(std::to_string(p.first) + " before " + std::to_string(p.second));
        std::vector<HWND> made = dialog_with_four_controls();
        HBITMAP probe = order_probe(made[p.first], made[p.second]);
        EXPECT_TRUE(destroy_record(made[0]));
        EXPECT_FALSE(gdi_alive(probe));
        EXPECT_EQ(windowRegistry.registryHead, nullptr);
    }
}

TEST_F(RegistryTest, ControlInsideAControlGoesBeforeIt) {
    // Whether the inner control's record was made before or after the outer
    // one's, it goes first.
    for (bool innerRecordFirst : {false, true}) {
        SCOPED_TRACE(innerRecordFirst ? "inner record made first" : "outer record made first");
        HWND d = top_window();
        dialog_record(d);
        HWND outer = child_window(d);
        HWND inner = child_window(outer);
        HWND sibling = child_window(d);
        if (innerRecordFirst) control_record(inner, outer);
        control_record(outer, d);
        if (!innerRecordFirst) control_record(inner, outer);
        control_record(sibling, d);
        HBITMAP probe = order_probe(inner, outer);
        EXPECT_TRUE(destroy_record(d));
        EXPECT_FALSE(gdi_alive(probe));
        EXPECT_EQ(find_record(inner), nullptr);
        EXPECT_EQ(windowRegistry.registryHead, nullptr);
    }
}

// A record is never its own parent: neither record creation nor a write of
// the field makes it one, so a control keeps going with its dialog.
TEST_F(RegistryTest, ARecordIsNeverItsOwnParent) {
    HWND d = top_window();
    dialog_record(d);
    HWND c = child_window(d);
    WindowRecord* r = control_record(c, d);
    EXPECT_EQ(set_record_value(c, FIELD_PARENT, (LONG_PTR)c), nullptr);
    EXPECT_EQ(r->parent, d);
    r->parent = d;  // so that a failure above leaves a graph the fixture can clear

    HWND lone = child_window(d);
    uint8_t code = 0;
    EXPECT_EQ(create_record(lone, lone, RECORD_CONTROL | RECORD_PIXELS, 5, &code), nullptr);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(find_record(lone), nullptr);
    if (WindowRecord* made = find_record(lone)) made->parent = d;

    EXPECT_TRUE(destroy_record(d));
    EXPECT_EQ(find_record(c), nullptr);
    EXPECT_EQ(windowRegistry.registryHead, nullptr);
}

// ---- destroy_record: any graph of parent fields -------------------------------

const int TO_DIALOG = -1;

struct ParentGraph {
    const char* name;
    std::vector<int> parents;  // per control: another control's index, or TO_DIALOG
    int dialogParent;          // the dialog's parent field: a control's index, or TO_DIALOG for none
    int target;                // whose record is destroyed: a control's index, or TO_DIALOG
};

// Control 0 belongs to the dialog, and each further control to the one before.
std::vector<int> chain(int length) {
    std::vector<int> parents(1, TO_DIALOG);
    for (int i = 1; i < length; ++i) parents.push_back(i - 1);
    return parents;
}

// A record made on an empty list and then linked at the head by hand, so that
// making many costs no walk of the list.
WindowRecord* record_linked_by_hand(HWND window, HWND parent, uint32_t flags, int32_t kind) {
    WindowRecord* head = windowRegistry.registryHead;
    windowRegistry.registryHead = nullptr;
    WindowRecord* r = create_record(window, parent, flags, kind);
    windowRegistry.registryHead = head;
    if (r) {
        r->nextRecord = head;
        windowRegistry.registryHead = r;
    }
    return r;
}

// Parent fields written straight into the records, as any caller holding a
// record can: cycles, a record its own parent, a chain far deeper than a
// thread's stack would hold if each level took a frame. The walk ends, every
// record below the target goes with what it owns, and no other record goes.
TEST_F(RegistryTest, AnyGraphOfParentFieldsIsWalkedToItsEnd) {
    const ParentGraph graphs[] = {
        {"two controls naming each other", {1, 0}, TO_DIALOG, 0},
        {"three controls in a ring", {1, 2, 0}, TO_DIALOG, 1},
        {"a control its own parent", {0}, TO_DIALOG, 0},
        {"a dialog that is its own control's control", {TO_DIALOG}, 0, TO_DIALOG},
        {"a chain of 100000", chain(100000), TO_DIALOG, TO_DIALOG},
    };
    const uintptr_t firstKey = 0x30000000u;  // controls' keys: firstKey + 4 * index
    for (const ParentGraph& g : graphs) {
        SCOPED_TRACE(g.name);
        HWND d = top_window();
        WindowRecord* dialog = dialog_record(d);
        HWND other = top_window();
        dialog_record(other);
        HWND bystander = child_window(other);
        control_record(bystander, other);

        const size_t count = g.parents.size();
        auto window_of = [&](int index) {
            return index == TO_DIALOG ? d : (HWND)(firstKey + 4 * (uintptr_t)index);
        };
        // Made last to first, so that the list runs from control 0 onwards;
        // the parent field written into each record once it is made.
        std::vector<HBITMAP> images;
        for (size_t i = count; i-- > 0;) {
            WindowRecord* r = record_linked_by_hand(
                window_of((int)i), d, RECORD_CONTROL | RECORD_PIXELS | RECORD_IMAGE_BITMAP, 5);
            ASSERT_NE(r, nullptr);
            r->parent = window_of(g.parents[i]);
            if (i < 3 || i + 1 == count) {
                images.push_back(bitmap());
                r->image = images.back();
            }
        }
        if (g.dialogParent != TO_DIALOG) {
            dialog->parent = window_of(g.dialogParent);
            dialog->flags |= RECORD_CONTROL;
        }

        bool destroyed = false;
        HWND target = window_of(g.target);
        bool ended = vornelle_test::finishes_within(
            20000, [&] { destroyed = destroy_record(target); });
        EXPECT_TRUE(ended) << "the walk never ended";
        EXPECT_TRUE(destroyed) << "the walk failed (or its thread died)";
        size_t left = 0;
        for (WindowRecord* r = windowRegistry.registryHead; r && ended; r = r->nextRecord) {
            uintptr_t key = (uintptr_t)r->window;
            left += key >= firstKey && key < firstKey + 4 * count;
        }
        EXPECT_EQ(left, 0u) << "control records left";
        if (!ended || !destroyed || left) {
            // Nothing of this graph may reach the fixture's clean-up.
            reset_registry();
            continue;
        }
        for (HBITMAP b : images) EXPECT_FALSE(gdi_alive(b));
        bool dialogGoes = g.target == TO_DIALOG;
        EXPECT_EQ(find_record(d) == nullptr, dialogGoes);
        EXPECT_NE(find_record(bystander), nullptr);
        EXPECT_TRUE(destroy_record(other));
        if (!dialogGoes) {
            EXPECT_TRUE(destroy_record(d));
        }
        EXPECT_EQ(windowRegistry.registryHead, nullptr);
    }
}

TEST_F(RegistryTest, DestroyingAControlLeavesItsDialogAndSiblings) {
    std::vector<HWND> made = dialog_with_four_controls();
    EXPECT_TRUE(destroy_record(made[2]));
    EXPECT_EQ(find_record(made[2]), nullptr);
    const int remainingNewestFirst[] = {4, 3, 1, 0};
    WindowRecord* r = windowRegistry.registryHead;
    for (int i : remainingNewestFirst) {
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->window, made[i]);
        r = r->nextRecord;
    }
    EXPECT_EQ(r, nullptr);
}

// ---- destroy_record: what is released --------------------------------------

// Who owns a background brush: a brush goes with the last record that holds
// it, and sharing is by handle, not by colour. Controls of one dialog, oldest
// first, each with a colour and a brush (0: none, 1 or 2: one of two
// brushes), are destroyed in the given order; after each step the two brushes
// are alive or not as the case says.
struct BrushRecord {
    int32_t color;
    int brush;
};
struct BrushStep {
    int destroyed;       // index into records
    bool brushAlive[2];  // brushes 1 and 2 afterwards (when a record held it)
};
struct BrushCase {
    const char* what;
    COLORREF brushColor;
    int recordCount;
    BrushRecord records[3];
    int stepCount;
    BrushStep steps[3];
};

const BrushCase BRUSH_CASES[] = {
    {"shared brush, newer record destroyed first", RED, 2, {{RED, 1}, {RED, 1}}, 2,
     {{1, {true, false}}, {0, {false, false}}}},
    {"shared brush, older record destroyed first", RED, 2, {{RED, 1}, {RED, 1}}, 2,
     {{0, {true, false}}, {1, {false, false}}}},
    // The newest record, the first of the colour, holds no brush: the holder
    // still paints with it.
    {"shared brush behind a record of the same colour without one", RED, 3,
     {{RED, 1}, {RED, 1}, {RED, 0}}, 2, {{1, {true, false}}, {0, {false, false}}}},
    {"own brush beside another's own brush of the same colour", RED, 2, {{RED, 1}, {RED, 2}}, 1,
     {{0, {false, true}}}},
    {"shared brush, system colour then a colour", RGB(9, 8, 7), 2,
     {{COLOR_SYSTEM, 1}, {RED, 1}}, 2, {{0, {true, false}}, {1, {false, false}}}},
    {"shared brush, a colour then untouched", RGB(9, 8, 7), 2, {{RED, 1}, {COLOR_UNTOUCHED, 1}},
     2, {{0, {true, false}}, {1, {false, false}}}},
    {"shared brush, transparent then system colour", RGB(9, 8, 7), 2,
     {{COLOR_TRANSPARENT, 1}, {COLOR_SYSTEM, 1}}, 2, {{0, {true, false}}, {1, {false, false}}}},
    {"shared brush, two different colours", RGB(9, 8, 7), 2, {{RED, 1}, {BLUE, 1}}, 2,
     {{0, {true, false}}, {1, {false, false}}}},
};

TEST_F(RegistryTest, BrushGoesWithTheLastRecordThatHoldsIt) {
    for (const BrushCase& c : BRUSH_CASES) {
        SCOPED_TRACE(c.what);
        HWND d = top_window();
        dialog_record(d);
        HWND windows[3] = {};
        for (int i = 0; i < c.recordCount; ++i) {
            windows[i] = child_window(d);
            control_record(windows[i], d);
        }
        HBRUSH brushes[2] = {brush(c.brushColor), brush(c.brushColor)};
        bool held[2] = {false, false};
        for (int i = 0; i < c.recordCount; ++i) {
            if (c.records[i].brush) held[c.records[i].brush - 1] = true;
            set_record_value(windows[i], FIELD_BACK_COLOR, c.records[i].color);
            if (c.records[i].brush) {
                set_record_value(windows[i], FIELD_BACK_BRUSH,
                                 (LONG_PTR)brushes[c.records[i].brush - 1]);
            }
        }
        if (c.records[c.recordCount - 1].brush == 0) {
            ASSERT_EQ(brush_for_color(c.records[c.recordCount - 1].color), (HBRUSH)0);
        }
        for (int step = 0; step < c.stepCount; ++step) {
            const BrushStep& s = c.steps[step];
            SCOPED_TRACE(step);
            EXPECT_TRUE(destroy_record(windows[s.destroyed]));
            for (int i = 0; i < 2; ++i) {
                if (!held[i]) continue;
                EXPECT_EQ(GetObjectType(brushes[i]), s.brushAlive[i] ? (DWORD)OBJ_BRUSH : 0u)
                    << "brush " << i + 1;
            }
        }
        if (c.stepCount == c.recordCount) {
            EXPECT_TRUE(destroy_record(d));
        }
    }
}

// The brush is the record's whatever its colour field says now: a colour, or
// the system colour, transparency or untouched after a colour was set.
TEST_F(RegistryTest, BrushGoesWhateverTheColourFieldSays) {
    const int32_t colors[] = {0, RED, COLOR_SYSTEM, COLOR_TRANSPARENT, COLOR_UNTOUCHED, -100};
    for (int32_t color : colors) {
        SCOPED_TRACE(color);
        HWND w = top_window();
        WindowRecord* r = dialog_record(w);
        HBRUSH b = brush(RGB(1, 2, 3));
        r->backColor = color;
        r->backBrush = b;
        EXPECT_TRUE(destroy_record(w));
        EXPECT_FALSE(gdi_alive(b));
    }
}

TEST_F(RegistryTest, UntouchedRecordReleasesNothingItDoesNotOwn) {
    // Objects in fields that destroying never releases: the dialog's font (the
    // platform's) and an image without a flag saying what it is.
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    HFONT f = font();
    HBITMAP image = bitmap();
    r->font = f;
    r->image = image;
    EXPECT_TRUE(destroy_record(w));
    EXPECT_EQ(find_record(w), nullptr);
    EXPECT_TRUE(gdi_alive(f));
    EXPECT_TRUE(gdi_alive(image));
}

// The platform's release functions, counted when the registry's code calls them.
int releaseCalls;
BOOL(WINAPI* platformDeleteObject)(HGDIOBJ);
BOOL(WINAPI* platformDestroyIcon)(HICON);
BOOL(WINAPI* platformDeleteDC)(HDC);
HGDIOBJ(WINAPI* platformSelectObject)(HDC, HGDIOBJ);
BOOL WINAPI count_delete_object(HGDIOBJ object) {
    ++releaseCalls;
    return platformDeleteObject(object);
}
BOOL WINAPI count_destroy_icon(HICON icon) {
    ++releaseCalls;
    return platformDestroyIcon(icon);
}
BOOL WINAPI count_delete_dc(HDC dc) {
    ++releaseCalls;
    return platformDeleteDC(dc);
}
HGDIOBJ WINAPI count_select_object(HDC dc, HGDIOBJ object) {
    ++releaseCalls;
    return platformSelectObject(dc, object);
}

// A record whose colours, image, icons and canvas were never touched owns
// nothing: destroying it, a dialog's or a control's, calls no release function.
TEST_F(RegistryTest, UntouchedRecordCallsNoReleaseFunction) {
    HWND d = top_window();
    dialog_record(d);
    HWND c = child_window(d);
    control_record(c, d);
    releaseCalls = 0;
    {
        vornelle_test::ScopedImportPatch del("gdi32.dll", "DeleteObject", (void*)count_delete_object);
        vornelle_test::ScopedImportPatch icon("user32.dll", "DestroyIcon", (void*)count_destroy_icon);
        vornelle_test::ScopedImportPatch dc("gdi32.dll", "DeleteDC", (void*)count_delete_dc);
        vornelle_test::ScopedImportPatch select("gdi32.dll", "SelectObject",
                                                (void*)count_select_object);
        ASSERT_NE(del.original, nullptr);
        ASSERT_NE(icon.original, nullptr);
        ASSERT_NE(dc.original, nullptr);
        ASSERT_NE(select.original, nullptr);
        platformDeleteObject = (BOOL(WINAPI*)(HGDIOBJ))del.original;
        platformDestroyIcon = (BOOL(WINAPI*)(HICON))icon.original;
        platformDeleteDC = (BOOL(WINAPI*)(HDC))dc.original;
        platformSelectObject = (HGDIOBJ(WINAPI*)(HDC, HGDIOBJ))select.original;
        EXPECT_TRUE(destroy_record(d));
    }
    EXPECT_EQ(find_record(c), nullptr);
    EXPECT_EQ(releaseCalls, 0);
}

TEST_F(RegistryTest, ImageIsReleasedAsTheFlagsSayItIs) {
    struct Case { uint32_t flags; bool isIcon; bool released; };
    const Case cases[] = {
        {RECORD_IMAGE_ICON, true, true},
        {RECORD_IMAGE_BITMAP, false, true},
        {RECORD_IMAGE_ICON | RECORD_IMAGE_BITMAP, true, true},
        {0, true, false},
        {0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.flags) + (c.isIcon ? " icon" : " bitmap"));
        HWND d = top_window();
        dialog_record(d);
        HWND w = child_window(d);
        WindowRecord* r = create_record(w, d, RECORD_CONTROL | RECORD_PIXELS | c.flags, 10);
        ASSERT_NE(r, nullptr);
        HICON i = c.isIcon ? icon() : 0;
        HBITMAP b = c.isIcon ? 0 : bitmap();
        r->image = c.isIcon ? (HANDLE)i : (HANDLE)b;
        EXPECT_TRUE(destroy_record(d));
        bool alive = c.isIcon ? icon_alive(i) : gdi_alive(b);
        EXPECT_EQ(alive, !c.released);
    }
}

TEST_F(RegistryTest, DialogIconsAreDestroyed) {
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    HICON big = icon(), small = icon();
    r->bigIcon = big;
    r->smallIcon = small;
    ASSERT_TRUE(icon_alive(big));
    EXPECT_TRUE(destroy_record(w));
    EXPECT_FALSE(icon_alive(big));
    EXPECT_FALSE(icon_alive(small));
}

TEST_F(RegistryTest, CanvasPutsBackWhatItDisplacedAndDeletesItsOwnObjects) {
    HWND d = top_window();
    dialog_record(d);
    HWND w = child_window(d);
    WindowRecord* r = control_record(w, d, 14);
    HDC dc = memory_dc();
    // What the surface held before the canvas took it over.
    HBITMAP earlierBitmap = bitmap();
    HFONT earlierFont = font();
    SelectObject(dc, earlierBitmap);
    SelectObject(dc, earlierFont);
    HBITMAP canvasBitmap = bitmap();
    HFONT canvasFont = font();
    r->canvasDc = dc;
    r->canvasOldBitmap = SelectObject(dc, canvasBitmap);
    r->canvasOldFont = SelectObject(dc, canvasFont);
    ASSERT_EQ(r->canvasOldBitmap, (HGDIOBJ)earlierBitmap);
    ASSERT_EQ(r->canvasOldFont, (HGDIOBJ)earlierFont);

    EXPECT_TRUE(destroy_record(d));
    EXPECT_EQ(GetObjectType(canvasBitmap), 0u);
    EXPECT_EQ(GetObjectType(canvasFont), 0u);
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_EQ(GetObjectType(earlierBitmap), (DWORD)OBJ_BITMAP);
    EXPECT_EQ(GetObjectType(earlierFont), (DWORD)OBJ_FONT);
    // The displaced bitmap is free again: another surface can take it.
    HDC other = memory_dc();
    EXPECT_NE(SelectObject(other, earlierBitmap), (HGDIOBJ)0);
}

TEST_F(RegistryTest, CanvasSurfaceWithoutDisplacedObjectsIsDeletedAlone) {
    HWND w = top_window();
    WindowRecord* r = dialog_record(w);
    HDC dc = memory_dc();
    HBITMAP selected = bitmap();
    SelectObject(dc, selected);
    r->canvasDc = dc;
    EXPECT_TRUE(destroy_record(w));
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_EQ(GetObjectType(selected), (DWORD)OBJ_BITMAP);
}

// ---- the lock ---------------------------------------------------------------

struct Churn {
    uintptr_t base;
    int rounds;
    int failures;
};

DWORD WINAPI churn_records(void* argument) {
    Churn* churn = static_cast<Churn*>(argument);
    for (int i = 0; i < churn->rounds; ++i) {
        // Window handles are only keys here: distinct values per thread.
        HWND w = (HWND)(churn->base + 4 * (i % 64));
        if (!create_record(w, 0, RECORD_DIALOG | RECORD_PIXELS, 0)) ++churn->failures;
        if (find_record(w) == nullptr) ++churn->failures;
        if (!destroy_record(w)) ++churn->failures;
    }
    return 0;
}

// What an operation run on another thread did while this thread held the lock.
struct LockedRun {
    bool waited;    // still running while the lock was held
    bool finished;  // done once the lock was freed
    bool answered;  // and gave the right answer
};

struct PendingOperation {
    const std::function<bool()>* operation;
    volatile LONG answered;
};

DWORD WINAPI run_pending_operation(void* argument) {
    PendingOperation* pending = static_cast<PendingOperation*>(argument);
    pending->answered = (*pending->operation)() ? 1 : 0;
    return 0;
}

// Holds the registry lock as another operation would, starts the operation on
// a thread of its own, and frees the lock after waitMs.
LockedRun run_while_the_lock_is_held(const std::function<bool()>& operation, DWORD waitMs) {
    LockedRun run = {false, false, false};
    PendingOperation pending = {&operation, 0};
    spin_acquire(&windowRegistry.registryLock);
    HANDLE thread = CreateThread(0, 0, run_pending_operation, &pending, 0, 0);
    if (!thread) {
        spin_release(&windowRegistry.registryLock);
        return run;
    }
    run.waited = WaitForSingleObject(thread, waitMs) == WAIT_TIMEOUT;
    spin_release(&windowRegistry.registryLock);
    run.finished = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    if (!run.finished) {
        TerminateThread(thread, 1);
        WaitForSingleObject(thread, INFINITE);
        windowRegistry.registryLock = 0;
    }
    CloseHandle(thread);
    run.answered = run.finished && pending.answered;
    return run;
}

// Every walk of the list and every change of its links takes the lock: while
// another thread holds it, each operation waits, and once it is freed each
// goes on and answers as it would have.
TEST_F(RegistryTest, EveryOperationWaitsWhileAnotherThreadHoldsTheLock) {
    HWND d = top_window();
    dialog_record(d);
    HWND c = child_window(d);
    WindowRecord* control = control_record(c, d);
    control->backColor = RED;
    control->backBrush = brush(RED);
    HWND later = child_window(d);
    struct Case {
        const char* name;
        std::function<bool()> operation;
    };
    const Case cases[] = {
        {"find_record", [&] { return find_record(c) == control; }},
        {"record_value", [&] { return record_value(c, FIELD_KIND) == 5; }},
        {"set_record_value",
         [&] { return set_record_value(c, FIELD_USER_DATA_1, 17) == control; }},
        {"first_control_of", [&] { return first_control_of(d) == c; }},
        {"brush_for_color", [&] { return brush_for_color(RED) == control->backBrush; }},
        {"create_record",
         [&] { return create_record(later, d, RECORD_CONTROL | RECORD_PIXELS, 5) != nullptr; }},
        {"destroy_record", [&] { return destroy_record(later); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LockedRun run = run_while_the_lock_is_held(k.operation, 150);
        EXPECT_TRUE(run.waited) << "it went on while another thread held the lock";
        EXPECT_TRUE(run.finished) << "it did not go on once the lock was freed";
        EXPECT_TRUE(run.answered);
        EXPECT_EQ(windowRegistry.registryLock, 0);
    }
    EXPECT_EQ(control->userData[0], 17);
    EXPECT_EQ(find_record(later), nullptr);
}

TEST_F(RegistryTest, ConcurrentCreateAndDestroyKeepTheListWhole) {
    HWND steady = top_window();
    WindowRecord* kept = dialog_record(steady);
    Churn churns[2] = {{0x10000000u, 20000, 0}, {0x20000000u, 20000, 0}};
    HANDLE threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = CreateThread(0, 0, churn_records, &churns[t], 0, 0);
        ASSERT_NE(threads[t], (HANDLE)0);
    }
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE t : threads) CloseHandle(t);
    EXPECT_EQ(churns[0].failures, 0);
    EXPECT_EQ(churns[1].failures, 0);
    EXPECT_EQ(windowRegistry.registryHead, kept);
    EXPECT_EQ(kept->nextRecord, nullptr);
    EXPECT_EQ(windowRegistry.registryLock, 0);
}

}  // namespace
