#include "ui/desk_host.h"

#include "ui/win32/win32_host.h"

namespace ui {

// WinMain hands over the whole command line; the arguments are not needed.
void SetDeskArguments(int, char**) {}

// Windows always has a desktop to show dialogs on.
UiHost* OpenDeskHost(std::string&) {
    return &Win32Host();
}

}  // namespace ui
