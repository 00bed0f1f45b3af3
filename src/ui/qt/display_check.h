#pragma once

#include <string>

// Qt ends the process when its platform plugin finds no display, so the desk
// host asks this first.

namespace ui {

// True when Qt can be expected to find a display: QT_QPA_PLATFORM, when set,
// names the plugins to try ("xcb" needs DISPLAY, "wayland..." needs
// WAYLAND_DISPLAY, others such as "offscreen" need nothing); when unset,
// DISPLAY or WAYLAND_DISPLAY must be. Otherwise false, with the reason in why.
bool HasDisplay(std::string& why);

}  // namespace ui
