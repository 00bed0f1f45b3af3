#include "ui/dialog_scroll.h"

namespace ui {

void HandleScroll(DialogHost& dialog, uintptr_t wParam) {
    int minimum = 0;
    int maximum = 0;
    dialog.GetScrollRange(&minimum, &maximum);
    int position = dialog.GetScrollPos();
    int next = position;
    switch (LowWord(wParam)) {
        case SB_LINEUP:
            if (position <= minimum) {
                return;
            }
            next = position - SCROLL_LINE < minimum ? minimum : position - SCROLL_LINE;
            break;
        case SB_LINEDOWN:
            if (position >= maximum) {
                return;
            }
            next = position + SCROLL_LINE > maximum ? maximum : position + SCROLL_LINE;
            break;
        case SB_PAGEUP:
            next = position - SCROLL_PAGE > minimum ? position - SCROLL_PAGE : minimum;
            break;
        case SB_PAGEDOWN:
            if (position + SCROLL_PAGE < maximum) {
                next = position + SCROLL_PAGE;
            } else if (position < maximum) {
                next = maximum;
            } else {
                return;
            }
            break;
        case SB_THUMBPOSITION:
            next = static_cast<int>(HighWord(wParam));
            break;
        default:
            return;
    }
    dialog.SetScrollPos(next, true);
    dialog.ScrollContents(position - next);
}

}  // namespace ui
