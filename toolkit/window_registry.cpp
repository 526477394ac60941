// The window registry: records live in system-string blocks, linked newest first
// from windowRegistry.registryHead. The lock is held for one walk or one link
// change at a time and never while a platform function or another registry
// operation runs; destroying a record releases the platform objects it owns.
#include "toolkit/window_registry.h"

#include <stddef.h>
#include <string.h>

#include "runtime/system_memory.h"

namespace vornelle {

WindowRegistry windowRegistry;

namespace {

const uint8_t CREATE_RECORD_FAILED = 5;

// Where each named field sits in a record, and how wide it is.
struct FieldPlace {
    uint16_t offset;
    uint16_t size;
};

#define VORNELLE_FIELD(name) {offsetof(WindowRecord, name), sizeof(((WindowRecord*)0)->name)}
#define VORNELLE_USER_WORD(n) \
    {offsetof(WindowRecord, userData) + (n) * sizeof(int32_t), sizeof(int32_t)}

// Indexed by RecordField.
const FieldPlace fieldPlaces[] = {
    VORNELLE_FIELD(nextRecord),      VORNELLE_FIELD(window),
    VORNELLE_FIELD(parent),          VORNELLE_FIELD(flags),
    VORNELLE_FIELD(showCommand),     VORNELLE_FIELD(font),
    VORNELLE_FIELD(callback),        VORNELLE_FIELD(resultTarget),
    VORNELLE_FIELD(accelerators),    VORNELLE_FIELD(backBrush),
    VORNELLE_FIELD(backColor),       VORNELLE_FIELD(textColor),
    VORNELLE_FIELD(canvasDc),        VORNELLE_FIELD(canvasOldBitmap),
    VORNELLE_FIELD(canvasScaleX),    VORNELLE_FIELD(canvasScaleY),
    VORNELLE_FIELD(canvasWidth),     VORNELLE_FIELD(canvasHeight),
    VORNELLE_FIELD(canvasOldFont),   VORNELLE_FIELD(canvasCharWidth),
    VORNELLE_FIELD(canvasLineHeight), VORNELLE_FIELD(canvasForeColor),
    VORNELLE_FIELD(canvasBackColor), VORNELLE_FIELD(kind),
    VORNELLE_FIELD(style),           VORNELLE_FIELD(image),
    VORNELLE_FIELD(bigIcon),         VORNELLE_FIELD(smallIcon),
    VORNELLE_USER_WORD(0),           VORNELLE_USER_WORD(1),
    VORNELLE_USER_WORD(2),           VORNELLE_USER_WORD(3),
    VORNELLE_USER_WORD(4),           VORNELLE_USER_WORD(5),
    VORNELLE_USER_WORD(6),           VORNELLE_USER_WORD(7),
};

#undef VORNELLE_FIELD
#undef VORNELLE_USER_WORD

static_assert(sizeof fieldPlaces / sizeof fieldPlaces[0] == FIELD_COUNT,
              "one place per record field");

// The field's bytes, or null for a number outside the table.
char* field_address(WindowRecord* record, RecordField field, uint16_t* size) {
    if ((unsigned)field >= (unsigned)FIELD_COUNT) return 0;
    *size = fieldPlaces[field].size;
    return (char*)record + fieldPlaces[field].offset;
}

// True when a remaining record holds this brush handle.
bool brush_still_held(HBRUSH brush) {
    bool held = false;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord* r = windowRegistry.registryHead; r; r = r->nextRecord) {
        if (r->backBrush == brush) {
            held = true;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    return held;
}

// Selects the displaced object back into the surface and deletes the one that
// comes out.
void restore_and_delete(HDC dc, HGDIOBJ displaced) {
    if (!displaced) return;
    HGDIOBJ own = SelectObject(dc, displaced);
    if (own && own != HGDI_ERROR) DeleteObject(own);
}

// Releases the platform objects a record owns. The record is no longer linked.
void release_record_objects(WindowRecord* record) {
    if (record->backColor >= 0 && record->backBrush) {
        // A brush goes with the last record that holds it.
        if (!brush_still_held(record->backBrush)) DeleteObject(record->backBrush);
    }
    if (record->image) {
        if (record->flags & RECORD_IMAGE_ICON) {
            DestroyIcon((HICON)record->image);
        } else if (record->flags & RECORD_IMAGE_BITMAP) {
            DeleteObject((HGDIOBJ)record->image);
        }
    }
    if (record->bigIcon) DestroyIcon(record->bigIcon);
    if (record->smallIcon) DestroyIcon(record->smallIcon);
    restore_and_delete(record->canvasDc, record->canvasOldBitmap);
    restore_and_delete(record->canvasDc, record->canvasOldFont);
    if (record->canvasDc) DeleteDC(record->canvasDc);
}

}  // namespace

void reset_registry() {
    windowRegistry.registryHead = 0;
}

WindowRecord* find_record(HWND window) {
    spin_acquire(&windowRegistry.registryLock);
    WindowRecord* r = windowRegistry.registryHead;
    while (r && r->window != window) r = r->nextRecord;
    spin_release(&windowRegistry.registryLock);
    return r;
}

LONG_PTR record_value(HWND window, RecordField field, WindowRecord** record) {
    WindowRecord* found = find_record(window);
    uint16_t size = 0;
    char* place = found ? field_address(found, field, &size) : 0;
    if (!place) found = 0;
    if (record) *record = found;
    if (!place) return 0;
    if (size == sizeof(int32_t)) {
        int32_t word;
        memcpy(&word, place, sizeof word);
        return word;
    }
    LONG_PTR value;
    memcpy(&value, place, sizeof value);
    return value;
}

WindowRecord* set_record_value(HWND window, RecordField field, LONG_PTR value) {
    // The link belongs to the list and changes only under its lock.
    if (field == FIELD_NEXT_RECORD) return 0;
    WindowRecord* found = find_record(window);
    uint16_t size = 0;
    char* place = found ? field_address(found, field, &size) : 0;
    if (!place) return 0;
    if (size == sizeof(int32_t)) {
        int32_t word = (int32_t)value;
        memcpy(place, &word, sizeof word);
    } else {
        memcpy(place, &value, sizeof value);
    }
    return found;
}

WindowRecord* create_record(HWND window, HWND parent, uint32_t flags, int32_t kind,
                            uint8_t* failureCode) {
    if (find_record(window)) {
        if (failureCode) *failureCode = CREATE_RECORD_FAILED;
        return 0;
    }
    WindowRecord* record = (WindowRecord*)system_allocate(sizeof(WindowRecord));
    if (!record) {
        if (failureCode) *failureCode = CREATE_RECORD_FAILED;
        return 0;
    }
    memset(record, 0, sizeof *record);
    record->window = window;
    record->parent = parent;
    record->flags = flags;
    record->kind = kind;
    record->backColor = COLOR_UNTOUCHED;
    record->textColor = COLOR_UNTOUCHED;

    spin_acquire(&windowRegistry.registryLock);
    record->nextRecord = windowRegistry.registryHead;
    windowRegistry.registryHead = record;
    spin_release(&windowRegistry.registryLock);

    record->canvasForeColor = GetSysColor(COLOR_WINDOWTEXT);
    record->canvasBackColor = GetSysColor(COLOR_BTNFACE);
    return record;
}

HWND first_control_of(HWND parent) {
    HWND found = 0;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord* r = windowRegistry.registryHead; r; r = r->nextRecord) {
        if (r->parent == parent && (r->flags & RECORD_CONTROL)) {
            found = r->window;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    return found;
}

HBRUSH brush_for_color(int32_t color) {
    HBRUSH brush = 0;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord* r = windowRegistry.registryHead; r; r = r->nextRecord) {
        if (r->backColor == color) {
            brush = r->backBrush;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    return brush;
}

bool destroy_record(HWND window) {
    // The controls first; the newest comes first in the list.
    for (HWND child = first_control_of(window); child; child = first_control_of(window)) {
        if (!destroy_record(child)) return false;
    }
    WindowRecord* record = find_record(window);
    if (!record) return false;

    bool linked = false;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord** link = &windowRegistry.registryHead; *link; link = &(*link)->nextRecord) {
        if (*link == record) {
            *link = record->nextRecord;
            record->nextRecord = 0;
            linked = true;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    if (!linked) return false;

    release_record_objects(record);
    system_free((char*)record);
    return true;
}

}  // namespace vornelle
