#pragma once

#include <QMessageBox>

// The program's message box: no owner window, the title "VELK Tester", one OK
// button and the icon the Windows icon bits ask for (none, or the error icon
// for MB_ICONERROR). Returns when the person has answered it.

namespace ui {

void ShowVelkMessageBox(const char* text, unsigned icon);

// A question or warning box of the desk: a box sizes itself to its text, so
// a short text would cut its title; every box of the desk is made wide
// enough to show its title whole. Returns the button pressed.
QMessageBox::StandardButton AskWithBox(QWidget* owner, QMessageBox::Icon icon, const QString& title,
                                       const QString& text, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton);

// Widens the box so that its title shows whole beside the title bar's
// buttons.
void FitTitle(QMessageBox& box);

}  // namespace ui
