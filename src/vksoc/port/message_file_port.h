#pragma once

#include "diag/message_fields.h"

// Message data files as file ports, for the dialog's Read and Save and for
// velkctl make. Only a regular file is a message data file: a FIFO, device
// or directory is refused before it is opened, and the open itself cannot
// wait, so a FIFO put in its place meanwhile cannot hold the program either.
// Failures are recorded in ErrorState.

namespace ui {

// Opens the file for reading as a file port of the controller; the port, or
// -1.
int OpenMessageFile(const char* fileName, const char* controllerId);

enum class SaveResult {
    Saved,
    NotOpened,  // the path names no regular file, or no new file could be made beside it
    NotSaved,   // the message could not be assembled or written, or the file not replaced
};

// Writes the message, in the controller's wire form, into a new file beside
// fileName and renames that over fileName once it is whole. Whatever fails,
// a file that was there before stays as it was. written, when not null,
// receives the bytes written.
SaveResult WriteMessageFile(const char* fileName, const MessageFields* message,
                            const char* controllerId, int* written);

}  // namespace ui
