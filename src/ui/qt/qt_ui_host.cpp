#include "ui/qt/qt_ui_host.h"

#include "ui/qt/dialog_frame.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_dialog_host.h"

namespace ui {

void QtUiHost::ShowMessageBox(const char* text, unsigned icon) {
    ShowVelkMessageBox(text, icon);
}

int QtUiHost::RunDialog(const unsigned char* dialogTemplate, int templateSize, DialogProc procedure,
                        void* context) {
    DialogFrame frame;
    if (procedure == nullptr || !ReadDialogFrame(dialogTemplate, templateSize, frame)) {
        return -1;
    }
    QtDialogHost dialog(frame, procedure, context);
    return dialog.Run();
}

}  // namespace ui
