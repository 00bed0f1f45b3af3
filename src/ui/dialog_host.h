#pragma once

#include <cstdint>

struct MessageFields;

// What the message dialog needs of the platform's user interface, and no
// more: a Win32 host gives it the real dialog manager, the Qt host a widget
// dialog, the script host plain strings, the tests a recorder. Ids, styles,
// messages and codes keep the Windows values, so the logic reads the same on
// every host.

namespace ui {

struct FieldRows;

// Window messages the dialog procedure handles.
inline constexpr unsigned WM_INITDIALOG = 0x0110;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_VSCROLL = 0x0115;

// Scroll requests (low word of wParam of WM_VSCROLL).
inline constexpr unsigned SB_LINEUP = 0;
inline constexpr unsigned SB_LINEDOWN = 1;
inline constexpr unsigned SB_PAGEUP = 2;
inline constexpr unsigned SB_PAGEDOWN = 3;
inline constexpr unsigned SB_THUMBPOSITION = 4;
inline constexpr unsigned SB_THUMBTRACK = 5;
inline constexpr unsigned SB_TOP = 6;
inline constexpr unsigned SB_BOTTOM = 7;
inline constexpr unsigned SB_ENDSCROLL = 8;

// The notification of WM_COMMAND (high word of wParam) an edit box sends
// when its text changes.
inline constexpr unsigned EN_CHANGE = 0x0300;

// Command ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// A dialog result of our own: the operator script's run waits in a "delay"
// and is resumed later (several connections served at once).
inline constexpr int DIALOG_SUSPENDED = -2;

// Window styles of the controls.
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;

// Message box icons.
inline constexpr unsigned MB_NOICON = 0;
inline constexpr unsigned MB_ICONERROR = 0x10;

inline constexpr uintptr_t MakeWParam(unsigned low, unsigned high) {
    return static_cast<uintptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
inline constexpr unsigned LowWord(uintptr_t value) {
    return value & 0xFFFFu;
}
inline constexpr unsigned HighWord(uintptr_t value) {
    return (value >> 16) & 0xFFFFu;
}

// The title of the dialog and of every message box.
inline constexpr const char* DIALOG_TITLE = "VELK Tester";

// A path chosen in the file dialog: 260 characters and a NUL.
inline constexpr int FILE_NAME_SIZE = 261;

// One open dialog, as its procedure sees it.
class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // A child control at a pixel rectangle of the client area. Returns false
    // when the control could not be created.
    virtual bool CreateControl(const char* className, const char* text, uint32_t style, int x,
                               int y, int width, int height, int id) = 0;
    // Stops typing at limit characters; a longer text already there stays.
    virtual void LimitText(int id, int limit) = 0;
    // Lets typing and pasting put only hexadecimal digits into the edit box,
    // letters upper case (the value form of a BINARY field); text the
    // program sets stays as it is. A host where nobody types keeps this
    // default.
    virtual void LimitToHexDigits(int /*id*/) {}
    // The box's text is UTF-8 (an EBCDIC field's value form): a host that
    // shows bytes as characters shows and reads back the characters it
    // encodes instead. Hosts that keep bytes as they are keep this default.
    virtual void TakeUtf8Text(int /*id*/) {}
    // Copies at most room - 1 characters and a NUL; returns the characters
    // copied (0 for a control that does not exist).
    virtual int GetItemText(int id, char* buffer, int room) = 0;
    virtual void SetItemText(int id, const char* text) = 0;
    // The id of the next tab stop after the control, or 0.
    virtual int NextTabStop(int id) = 0;
    virtual void SetFocus(int id) = 0;

    virtual void GetScrollRange(int* minimum, int* maximum) = 0;
    virtual int GetScrollPos() = 0;
    virtual void SetScrollPos(int position, bool redraw) = 0;
    virtual void SetScrollRange(int minimum, int maximum, bool redraw) = 0;
    // Moves the whole client area down by dy pixels (up when negative).
    virtual void ScrollContents(int dy) = 0;

    // No owner window, the title DIALOG_TITLE, an OK button.
    virtual void ShowMessageBox(const char* text, unsigned icon) = 0;
    virtual void EndDialog(int result) = 0;
    // The file dialog for "Message Data (*.dat)"; fills fileName (of
    // FILE_NAME_SIZE bytes) and returns true when a file was chosen.
    virtual bool ChooseFile(char* fileName, bool forSave) = 0;

    // A host that keeps its controls from one dialog to the next (the rows
    // depend on the controller alone) refills the edit boxes of all rows with
    // the message's values here, and returns true: the rows are then not
    // created again. The values are taken by reference: their bytes stay as
    // they are while the dialog is open. Hosts that build every dialog
    // afresh keep this default.
    virtual bool RefillRows(const FieldRows& /*rows*/, const MessageFields& /*message*/) {
        return false;
    }
    // For read-back: one flag per row, true where the row's edit box may hold
    // text (a false box reads as empty without being asked); null when the
    // host does not keep such flags.
    virtual const bool* RowsWithText(const FieldRows& /*rows*/) { return nullptr; }
    // A note shown beside a control when the person points at it (a
    // tooltip), lines separated by '\n'; "" removes it. Chip data boxes show
    // their decoded data objects so. Hosts without such notes keep this
    // default, and say so in TakesTips (no note is then made).
    virtual void SetItemTip(int /*id*/, const char* /*text*/) {}
    virtual bool TakesTips() const { return false; }
    // Marks the row of the edit box id as breaking its field's declarations,
    // without a box: finding is what it breaks. A host without a person to
    // show it to keeps this default.
    virtual void MarkField(int /*editId*/, const char* /*finding*/) {}
};

// Returns non-zero when the message was handled (the dialog manager's rule).
// context: what the dialog's run was given, handed to every call (the
// message dialog's is its ui::Exchange).
using DialogProc = intptr_t (*)(DialogHost& dialog, unsigned message, uintptr_t wParam,
                                intptr_t lParam, void* context);

// The user interface of the program as a whole.
class UiHost {
  public:
    virtual ~UiHost() = default;
    // No owner window, the title DIALOG_TITLE, an OK button.
    virtual void ShowMessageBox(const char* text, unsigned icon) = 0;
    // Runs a modal dialog built from the in-memory template until its
    // procedure ends it; context goes to every call of the procedure.
    // Returns the end result, or -1 when the dialog could not be created.
    virtual int RunDialog(const unsigned char* dialogTemplate, int templateSize,
                          DialogProc procedure, void* context) = 0;
};

}  // namespace ui
