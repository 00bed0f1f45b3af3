#pragma once

#include <QString>

// The frame an in-memory dialog template describes, in pixels: the template
// gives its size in dialog units of the dialog's font. Templates without a
// font of their own use the system font, whose base units are 8 x 16 pixels:
// a dialog unit is a quarter of the base width and an eighth of the base
// height.

namespace ui {

inline constexpr int BASE_UNIT_X = 8;
inline constexpr int BASE_UNIT_Y = 16;

inline constexpr int DialogUnitsToPixelsX(int units) {
    return units * BASE_UNIT_X / 4;
}
inline constexpr int DialogUnitsToPixelsY(int units) {
    return units * BASE_UNIT_Y / 8;
}

struct DialogFrame {
    QString title;
    int width;  // of the client area, the vertical scroll bar included
    int height;
    bool verticalScrollBar;
};

// Reads the header, the menu and class entries and the title of a template
// in the platform's layout (16-bit units, little-endian). False when the
// template is shorter than it claims to be or its title is not terminated.
bool ReadDialogFrame(const unsigned char* dialogTemplate, int size, DialogFrame& frame);

}  // namespace ui
