#include "ui/qt/message_box.h"

#include <QGridLayout>
#include <QSpacerItem>

#include "ui/dialog_host.h"

namespace ui {

namespace {

// Room on the title bar beside the title: the window's icon and its buttons
// (at most minimise, maximise and close), in pixels.
constexpr int TITLE_BAR_ROOM = 140;

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

void FitTitle(QMessageBox& box) {
    // Title bars often use a larger or bold font: a quarter more than the
    // box's own.
    int title = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 5 / 4;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(title + TITLE_BAR_ROOM, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
}

void ShowVelkMessageBox(const char* text, unsigned icon) {
    QMessageBox box(IconOf(icon), QString::fromLatin1(DIALOG_TITLE), QString::fromLatin1(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    FitTitle(box);
    box.exec();
}

QMessageBox::StandardButton AskWithBox(QWidget* owner, QMessageBox::Icon icon, const QString& title,
                                       const QString& text, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    FitTitle(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace ui
