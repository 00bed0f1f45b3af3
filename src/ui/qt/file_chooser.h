#pragma once

class QWidget;

// The file dialog for message data files: the filter "Message Data (*.dat)"
// and the default suffix "dat". For saving, replacing an existing file and
// creating a new one must both be confirmed; for reading, only an existing
// file can be chosen. Qt's own dialog is used on every desktop, so that both
// confirmations ask the same questions everywhere.

namespace ui {

// Fills fileName (FILE_NAME_SIZE bytes) with the chosen path in the local
// 8-bit encoding and returns true; false when the person cancelled. A path
// longer than FILE_NAME_SIZE - 1 bytes is refused in the dialog.
bool ChooseMessageDataFile(QWidget* owner, char* fileName, bool forSave);

}  // namespace ui
