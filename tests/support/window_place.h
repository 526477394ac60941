// Where a window stands, as the platform reports it: on the screen, or in the
// client area of the dialog that holds it; and the check that a window stands
// where the platform (or a table) says it should, edge by edge.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <sstream>

namespace vornelle_test {

// The window's rectangle on the screen.
inline RECT window_rect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// The window's rectangle in the client coordinates of dialog.
inline RECT rect_in(HWND dialog, HWND window) {
    RECT rect = window_rect(window);
    MapWindowPoints(NULL, dialog, (POINT*)&rect, 2);
    return rect;
}

inline std::ostream& write_rect(std::ostream& out, const RECT& rect) {
    return out << "(" << rect.left << ", " << rect.top << ") to (" << rect.right << ", "
               << rect.bottom << ")";
}

// Success when seen has expected's four edges (with cornerOnly, its left and
// top edges alone); otherwise a failure that shows both rectangles.
inline ::testing::AssertionResult same_place(const RECT& seen, const RECT& expected,
                                             bool cornerOnly = false) {
    bool corner = seen.left == expected.left && seen.top == expected.top;
    bool size = seen.right == expected.right && seen.bottom == expected.bottom;
    if (corner && (cornerOnly || size)) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    std::ostringstream text;
    write_rect(text << "at ", seen);
    write_rect(text << (cornerOnly ? ", expected its corner at " : ", expected at "), expected);
    return failure << text.str();
}

}  // namespace vornelle_test
