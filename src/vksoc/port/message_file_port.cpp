#include "vksoc/port/message_file_port.h"

#include <cstdio>

#include "diag/error_state.h"
#include "os_files.h"
#include "os_lowio.h"
#include "platform/clock.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/send_msg.h"

namespace ui {

namespace {

constexpr int READ_OPTIONS = O_RDONLY | plat::OPEN_BINARY | plat::OPEN_NO_WAIT;
// The new file is made for this save alone: an existing one of its name is
// not ours to overwrite.
constexpr int NEW_FILE_OPTIONS =
    O_WRONLY | O_CREAT | O_EXCL | plat::OPEN_BINARY | plat::OPEN_NO_WAIT;

void RefuseNotRegular(const char* fileName) {
    SetError(ERR_INVALID, 0);
    ADD_ERROR_TEXT("Message data file: %s is not a regular file\n", fileName);
}

}  // namespace

int OpenMessageFile(const char* fileName, const char* controllerId) {
    if (plat::KindOfFile(fileName) == plat::FileKind::Other) {
        RefuseNotRegular(fileName);
        return -1;
    }
    int port = OpenPort(fileName, READ_OPTIONS, MODE_FILE, controllerId);
    if (port >= 0 && !plat::IsRegularDescriptor(PortFileDescriptor(port))) {
        ClosePort(port);
        RefuseNotRegular(fileName);
        return -1;
    }
    return port;
}

SaveResult WriteMessageFile(const char* fileName, const MessageFields* message,
                            const char* controllerId, int* written) {
    if (written != nullptr) {
        *written = -1;
    }
    if (plat::KindOfFile(fileName) == plat::FileKind::Other) {
        RefuseNotRegular(fileName);
        return SaveResult::NotOpened;
    }
    // Beside the file, so that the rename stays on its file system.
    char newFile[1100];
    int length = std::snprintf(newFile, sizeof newFile, "%s.%d.new", fileName, CurrentProcessId());
    if (length < 0 || length >= static_cast<int>(sizeof newFile)) {
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("Message data file: the name %.64s... is too long\n", fileName);
        return SaveResult::NotOpened;
    }
    int port = OpenPort(newFile, NEW_FILE_OPTIONS, MODE_FILE, controllerId);
    if (port < 0) {
        return SaveResult::NotOpened;
    }
    int bytes = SendMsg(port, message);
    ClosePort(port);
    if (bytes < 0) {
        plat::RemoveFile(newFile);
        return SaveResult::NotSaved;
    }
    if (plat::MoveFileOver(newFile, fileName) != 0) {
        SetError(ERR_INVALID, plat::GetLastError());
        ADD_ERROR_TEXT("Message data file: could not replace %s\n", fileName);
        plat::RemoveFile(newFile);
        return SaveResult::NotSaved;
    }
    if (written != nullptr) {
        *written = bytes;
    }
    return SaveResult::Saved;
}

}  // namespace ui
