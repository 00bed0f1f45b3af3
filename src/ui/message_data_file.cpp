#include "ui/message_data_file.h"

#include <cstring>

#include "diag/error_log.h"
#include "ui/collect_fields.h"
#include "ui/field_text_area.h"
#include "ui/responder_state.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/framing_guess.h"
#include "vksoc/port/message_file_port.h"
#include "vksoc/port/recv_msg.h"

namespace ui {

namespace {

// The message's slots point into the file port's buffer, which ClosePort
// releases: keep the values in the dialog's own area instead.
void KeepMessageValues(MessageFields& message) {
    int used = 0;
    for (FieldSlot& slot : message.slots) {
        if (slot.length <= 0 || slot.data == nullptr) {
            continue;
        }
        int length = slot.length;
        if (length > FIELD_TEXT_AREA_SIZE - used) {
            length = FIELD_TEXT_AREA_SIZE - used;
        }
        std::memmove(fieldTextArea.fromFile + used, slot.data, static_cast<size_t>(length));
        slot = FieldSlot{length > 0 ? fieldTextArea.fromFile + used : nullptr, length};
        used += length;
    }
}

}  // namespace

FileOutcome SaveMessageFile(DialogHost& dialog, MessageFields& message) {
    if (CollectFields(dialog, message) == 0) {
        return FileOutcome::Failed;
    }
    char fileName[FILE_NAME_SIZE] = {};
    if (!dialog.ChooseFile(fileName, true)) {
        return FileOutcome::NotChosen;
    }
    switch (WriteMessageFile(fileName, &message, responderState.controllerId, nullptr)) {
        case SaveResult::Saved:
            return FileOutcome::Done;
        case SaveResult::NotOpened:
            dialog.ShowMessageBox("Could not open", MB_ICONERROR);
            break;
        case SaveResult::NotSaved:
            dialog.ShowMessageBox("Could not save", MB_ICONERROR);
            break;
    }
    WriteErrorLog();
    return FileOutcome::Failed;
}

FileOutcome ReadMessageFile(DialogHost& dialog, MessageFields& message) {
    char fileName[FILE_NAME_SIZE] = {};
    if (!dialog.ChooseFile(fileName, false)) {
        return FileOutcome::NotChosen;
    }
    int port = OpenMessageFile(fileName, responderState.controllerId);
    if (port < 0) {
        dialog.ShowMessageBox("Open file failed", MB_ICONERROR);
        WriteErrorLog();
        return FileOutcome::Failed;
    }
    std::memset(&message, 0, sizeof message);
    if (RecvMsg(port, &message, -1) < 0) {
        char box[256] = "Read from file failed";
        AppendFramingHint(box, sizeof box, fileName, responderState.controllerId);
        dialog.ShowMessageBox(box, MB_ICONERROR);
        ClosePort(port);
        return FileOutcome::Failed;
    }
    KeepMessageValues(message);
    ShowFields(dialog, message);
    ClosePort(port);
    return FileOutcome::Done;
}

}  // namespace ui
