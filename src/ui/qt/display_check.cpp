#include "ui/qt/display_check.h"

#include <cstdlib>
#include <string_view>

namespace ui {

namespace {

constexpr const char* X11_DISPLAY = "DISPLAY";
constexpr const char* WAYLAND_DISPLAY = "WAYLAND_DISPLAY";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// The variable a plugin needs, or null when it needs none. A plugin name may
// carry options after a colon ("xcb:option").
const char* NeededVariable(std::string_view plugin) {
    plugin = plugin.substr(0, plugin.find(':'));
    if (plugin == "xcb") {
        return X11_DISPLAY;
    }
    if (plugin.starts_with("wayland")) {
        return WAYLAND_DISPLAY;
    }
    return nullptr;
}

}  // namespace

bool HasDisplay(std::string& why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || platform[0] == '\0') {
        if (IsSet(X11_DISPLAY) || IsSet(WAYLAND_DISPLAY)) {
            return true;
        }
        why = "no display to show the message dialog on (DISPLAY and WAYLAND_DISPLAY are unset)";
        return false;
    }
    // Qt tries the plugins of a list "first;second" in order.
    bool needsWayland = false;
    bool needsDisplay = false;
    std::string_view plugins(platform);
    while (true) {
        size_t end = plugins.find(';');
        std::string_view plugin = plugins.substr(0, end);
        const char* variable = NeededVariable(plugin);
        if ((variable == nullptr && !plugin.empty()) || (variable != nullptr && IsSet(variable))) {
            return true;
        }
        needsWayland = needsWayland || variable == WAYLAND_DISPLAY;
        needsDisplay = needsDisplay || variable == X11_DISPLAY;
        if (end == std::string_view::npos) {
            break;
        }
        plugins.remove_prefix(end + 1);
    }
    const char* missing = needsWayland && needsDisplay
                              ? "\" but WAYLAND_DISPLAY and DISPLAY are unset"
                          : needsWayland ? "\" but WAYLAND_DISPLAY is unset"
                          : needsDisplay ? "\" but DISPLAY is unset"
                                         : "\", which names no plugin";
    why = std::string("no display to show the message dialog on (QT_QPA_PLATFORM is \"") +
          platform + missing + ")";
    return false;
}

}  // namespace ui
