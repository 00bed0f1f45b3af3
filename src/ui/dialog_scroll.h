#pragma once

#include <cstdint>

#include "ui/dialog_host.h"

namespace ui {

inline constexpr int SCROLL_LINE = 30;
inline constexpr int SCROLL_PAGE = 240;

// One request of the dialog's vertical scroll bar. The position is the
// distance in pixels by which the contents have been moved up; the contents
// follow the thumb only when it is released.
void HandleScroll(DialogHost& dialog, uintptr_t wParam);

}  // namespace ui
