#pragma once

// The program's message box: no owner window, the title "VELK Tester", one OK
// button and the icon the Windows icon bits ask for (none, or the error icon
// for MB_ICONERROR). Returns when the person has answered it.

namespace ui {

void ShowVelkMessageBox(const char* text, unsigned icon);

}  // namespace ui
