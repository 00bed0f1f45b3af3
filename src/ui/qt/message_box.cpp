#include "ui/qt/message_box.h"

#include <QMessageBox>

#include "ui/dialog_host.h"

namespace ui {

namespace {

QMessageBox::Icon IconOf(unsigned icon) {
    switch (icon & 0xF0u) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case 0x20:
            return QMessageBox::Question;
        case 0x30:
            return QMessageBox::Warning;
        case 0x40:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

void ShowVelkMessageBox(const char* text, unsigned icon) {
    QMessageBox box(IconOf(icon), QStringLiteral("VELK Tester"), QString::fromLatin1(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace ui
