#pragma once

#include <cstdint>

#include "ui/dialog_host.h"

namespace ui {

inline constexpr int SCROLL_LINE = 30;
inline constexpr int SCROLL_PAGE = 240;
// A notch of the mouse wheel scrolls three lines, the desktop's default.
inline constexpr int WHEEL_NOTCH = 120;
inline constexpr int LINES_PER_NOTCH = 3;

// One request of the dialog's vertical scroll bar. The position is the
// distance in pixels by which the contents have been moved up; the contents
// follow the thumb only when it is released.
void HandleScroll(DialogHost& dialog, uintptr_t wParam);

// Adds a turn of the wheel (positive: away from the person) to rest and
// returns the lines to scroll, up when positive, LINES_PER_NOTCH for each
// whole notch; what is left of a notch stays in rest for the next turn.
// Hosts ask the procedure for them as line requests. (Inline here, as the
// next rule, for the hosts built into a module of their own.)
constexpr int WheelLines(int& rest, int delta) {
    rest += delta;
    int notches = rest / WHEEL_NOTCH;  // toward zero: a part of a notch waits
    rest -= notches * WHEEL_NOTCH;
    return notches * LINES_PER_NOTCH;
}

// Where the focus goes, the view follows: the position (within minimum to
// maximum) at which a control spanning top to bottom of the unscrolled
// contents lies wholly in a view viewHeight pixels high, moving as little as
// possible. The position itself when the control is in view already; its
// top when it is taller than the view. Hosts ask the procedure for it as a
// thumb position.
constexpr int PositionShowing(int position, int minimum, int maximum, int top, int bottom,
                              int viewHeight) {
    int next = position;
    if (top < position || bottom - top > viewHeight) {
        next = top;
    } else if (bottom > position + viewHeight) {
        next = bottom - viewHeight;
    }
    return next < minimum ? minimum : next > maximum ? maximum : next;
}

}  // namespace ui
