// One check that a control stands as its table row says: class, identifier,
// parent, place and size in the dialog's client pixels, the dialog's font,
// visible, and a control record with the row's kind and callback.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/window_class.h"
#include "tests/support/window_place.h"
#include "toolkit/controls.h"
#include "toolkit/window_registry.h"

namespace vornelle_test {

// The control with the row's identifier in dialog (a pixel-mode dialog), as
// the row places it; className is the platform's class the kind gives.
inline void expect_control_as_row(HWND dialog, const vornelle::ControlRow& row,
                                  const char* className) {
    SCOPED_TRACE(row.id);
    vornelle::WindowRecord* dialogRecord = vornelle::find_record(dialog);
    ASSERT_NE(dialogRecord, nullptr);
    ASSERT_NE(dialogRecord->font, nullptr);
    HWND control = GetDlgItem(dialog, row.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(lstrcmpiA(class_of(control).c_str(), className), 0) << class_of(control);
    EXPECT_EQ(GetParent(control), dialog);

    RECT rowPlace = {row.x, row.y, row.x + row.width, row.y + row.height};
    EXPECT_TRUE(same_place(rect_in(dialog, control), rowPlace));
    EXPECT_EQ((HFONT)SendMessageA(control, WM_GETFONT, 0, 0), dialogRecord->font);
    EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE);

    vornelle::WindowRecord* record = vornelle::find_record(control);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->window, control);
    EXPECT_EQ(record->parent, dialog);
    EXPECT_EQ(record->flags, (uint32_t)(vornelle::RECORD_CONTROL | vornelle::RECORD_PIXELS));
    EXPECT_EQ(record->kind, row.kind);
    EXPECT_EQ(record->callback, row.callback);
}

}  // namespace vornelle_test
