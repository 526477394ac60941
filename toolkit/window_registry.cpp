// The window registry: records live in system-string blocks, linked newest first
// from windowRegistry.registryHead. The lock is held for one walk or one link
// change at a time and never while a platform function or another registry
// operation runs; destroying a record releases the platform objects it owns.
#include "toolkit/window_registry.h"

#include <stddef.h>
#include <string.h>

#include "runtime/runtime_error.h"
#include "runtime/system_memory.h"

namespace vornelle {

WindowRegistry windowRegistry;

namespace {

// Where each named field sits in a record, and how wide it is.
struct FieldPlace {
    uint16_t offset;
    uint16_t size;
};

// Two fields a line, in the order of the record.
// clang-format off
#define VORNELLE_FIELD(name) {offsetof(WindowRecord, name), sizeof(((WindowRecord*)0)->name)}
#define VORNELLE_USER_WORD(n) \
    {offsetof(WindowRecord, userData) + (n) * sizeof(int32_t), sizeof(int32_t)}

// Indexed by RecordField.
const FieldPlace FieldPlaceTable[] = {
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
// clang-format on

#undef VORNELLE_FIELD
#undef VORNELLE_USER_WORD

static_assert(sizeof FieldPlaceTable / sizeof FieldPlaceTable[0] == FIELD_COUNT,
              "one place per record field");

// The field's bytes, or null for a number outside the table.
char* field_address(WindowRecord* record, RecordField field, uint16_t* size) {
    if ((unsigned)field >= (unsigned)FIELD_COUNT) return 0;
    *size = FieldPlaceTable[field].size;
    return (char*)record + FieldPlaceTable[field].offset;
}

bool holds_brush(const WindowRecord* chain, HBRUSH brush) {
    for (const WindowRecord* r = chain; r; r = r->nextRecord) {
        if (r->backBrush == brush) return true;
    }
    return false;
}

// True when a remaining record holds this brush handle: one in the list, or
// one of the records whose destruction is still under way (pending).
bool brush_still_held(HBRUSH brush, const WindowRecord* pending) {
    if (holds_brush(pending, brush)) return true;
    spin_acquire(&windowRegistry.registryLock);
    bool held = holds_brush(windowRegistry.registryHead, brush);
    spin_release(&windowRegistry.registryLock);
    return held;
}

// Takes the record out of the list; false when it is no longer linked.
bool unlink_record(WindowRecord* record) {
    bool linked = false;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord** link = &windowRegistry.registryHead; *link; link = &(*link)->nextRecord) {
        if (*link == record) {
            *link = record->nextRecord;
            linked = true;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    if (linked) record->nextRecord = 0;
    return linked;
}

// Takes the first control record of parent in list order out of the list, in
// one walk under the lock; null when the parent has none left.
WindowRecord* unlink_first_control_of(HWND parent) {
    WindowRecord* found = 0;
    spin_acquire(&windowRegistry.registryLock);
    for (WindowRecord** link = &windowRegistry.registryHead; *link; link = &(*link)->nextRecord) {
        WindowRecord* r = *link;
        if (r->parent == parent && (r->flags & RECORD_CONTROL)) {
            *link = r->nextRecord;
            found = r;
            break;
        }
    }
    spin_release(&windowRegistry.registryLock);
    if (found) found->nextRecord = 0;
    return found;
}

// Selects the displaced object back into the surface and deletes the one that
// comes out.
void restore_and_delete(HDC dc, HGDIOBJ displaced) {
    if (!displaced) return;
    HGDIOBJ own = SelectObject(dc, displaced);
    if (own && own != HGDI_ERROR) DeleteObject(own);
}

// Releases the platform objects a record owns and gives its memory back. The
// record is no longer linked; pending are the records still to be destroyed.
void release_record(WindowRecord* record, const WindowRecord* pending) {
    // A brush goes with the last record that holds it, whatever the colour
    // field says now.
    if (record->backBrush && !brush_still_held(record->backBrush, pending)) {
        DeleteObject(record->backBrush);
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
    system_free((char*)record);
}

}  // namespace

void reset_registry() {
    windowRegistry.registryHead = 0;
    spin_release(&windowRegistry.registryLock);
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
    // The link belongs to the list and changes only under its lock; and a
    // record is never its own parent.
    if (field == FIELD_NEXT_RECORD) return 0;
    if (field == FIELD_PARENT && (HWND)value == window) return 0;
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
    // A record is never its own parent.
    if (parent == window || find_record(window)) {
        if (failureCode) *failureCode = RUNTIME_INVALID_REQUEST;
        return 0;
    }
    WindowRecord* record = (WindowRecord*)system_allocate(sizeof(WindowRecord));
    if (!record) {
        if (failureCode) *failureCode = RUNTIME_INVALID_REQUEST;
        return 0;
    }
    // Every byte zero, padding included. The floats are IEEE 754 on every
    // target, where all bits zero is 0.0f.
    // cppcheck-suppress memsetClassFloat
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
    // Depth first without recursion: go down through the window's controls,
    // taking each record out of the list as the walk enters it, until one has
    // no control left; destroy that one and go back up to its parent. Records
    // on the way down (pending) are out of the list, so no parent field, not
    // even one that closes a cycle, leads back to them: the walk ends on any
    // graph, and each record is destroyed once. Controls go newest first, each
    // before its parent, and the window's own record last.
    WindowRecord* own = find_record(window);
    if (own && !unlink_record(own)) own = 0;
    WindowRecord* pending = own;
    HWND current = window;
    for (;;) {
        WindowRecord* child = unlink_first_control_of(current);
        if (child) {
            child->nextRecord = pending;
            pending = child;
            current = child->window;
            continue;
        }
        if (pending == own) break;  // back at the window itself
        WindowRecord* done = pending;
        pending = done->nextRecord;
        current = done->parent;
        release_record(done, pending);
    }
    if (!own) return false;
    release_record(own, 0);
    return true;
}

}  // namespace vornelle
