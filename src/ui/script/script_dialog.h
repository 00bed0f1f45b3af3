#pragma once

#include <string_view>

#include "ui/dialog_host.h"
#include "ui/field_rows.h"

// A dialog without a screen: edit boxes are strings with the ids and input
// limits the procedure gives them. The boxes are made by the first dialog and
// kept for every later one (the rows depend on the controller alone): a later
// dialog refills them by reference to the received values, and a box's text
// is copied only when something reads it whole or types into it. Static
// storage, so that answering a message allocates nothing.

namespace ui {

class ScriptDialog : public DialogHost {
  public:
    ScriptDialog();

    // Makes the kept boxes ready for the next dialog: buttons, focus, scroll
    // state and the end result start afresh.
    void Reopen();
    // Drops every box: the next dialog creates its rows again (another
    // controller layout).
    void Forget();

    bool CreateControl(const char* className, const char* text, uint32_t style, int x, int y,
                       int width, int height, int id) override;
    bool RefillRows(const FieldRows& rows, const MessageFields& message) override;
    const bool* RowsWithText(const FieldRows& rows) override;
    // Gives the box at index (creation order) this text by reference.
    void RefillBox(int index, const char* text, int length);
    void LimitText(int id, int limit) override;
    int GetItemText(int id, char* buffer, int room) override;
    void SetItemText(int id, const char* text) override;
    int NextTabStop(int id) override;
    void SetFocus(int id) override { focus_ = id; }
    void GetScrollRange(int* minimum, int* maximum) override;
    int GetScrollPos() override { return scrollPosition_; }
    void SetScrollPos(int position, bool) override { scrollPosition_ = position; }
    void SetScrollRange(int minimum, int maximum, bool) override;
    void ScrollContents(int) override {}
    void ShowMessageBox(const char* text, unsigned icon) override;
    void EndDialog(int result) override;
    bool ChooseFile(char* fileName, bool forSave) override;

    // What the operator would type: the text replaces the box's, cut to the
    // box's input limit. Returns false when the dialog has no such box;
    // *cutAt is the limit when the text was cut, else 0.
    bool Type(int id, std::string_view text, int* cutAt = nullptr);
    bool HasBox(int id) const { return Find(id) != nullptr; }
    // The box's text up to its first NUL (empty for no box). Valid until the
    // box changes.
    std::string_view BoxView(int id);
    // The same, NUL-terminated (copied into the box's own storage); null for
    // no box.
    const char* BoxText(int id);
    // The file the next file dialog chooses (null: the operator cancels).
    void AnswerFileDialog(const char* path) { pendingFile_ = path; }

    // Lets a rule go on after Respond ended the dialog (a duplicate response).
    void KeepOpen() { ended_ = false; }
    bool ended() const { return ended_; }
    int result() const { return result_; }
    int boxCount() const { return boxCount_; }
    int boxId(int index) const { return boxes_[index].id; }

  private:
    // What every message touches lies together; the boxes' own texts lie
    // apart and are touched only when a box owns its text.
    struct Box {
        int id;
        int limit;
        // The text: the box's own storage, or a received value by reference
        // whose first NUL is not yet looked for (scanned false).
        const char* data;
        int length;
        bool scanned;
        char* text;  // FIELD_VALUE_SIZE bytes of its own
    };
    Box* Find(int id);
    const Box* Find(int id) const;
    void Own(Box& box, std::string_view text);
    std::string_view View(Box& box);
    // Whether box r is the edit box of row r for every row.
    bool Matches(const FieldRows& rows);
    // Keeps hasText_ and the list of boxes that may hold text together.
    void MarkText(int index, bool hasText);

    static Box boxes_[MAX_FIELD_ROWS];
    static char texts_[MAX_FIELD_ROWS][FIELD_VALUE_SIZE];
    int boxCount_ = 0;
    // One flag per box: it may hold text (read-back skips the others).
    bool hasText_[MAX_FIELD_ROWS] = {};
    const FieldRows* matched_ = nullptr;      // rows found to match the boxes
    int16_t boxOfSlot_[MAX_FIELD_ROWS] = {};  // the box that shows slot n, or -1
    // The boxes whose hasText_ is true (and maybe some whose is no longer):
    // a new message clears these and fills those it has values for.
    int16_t withText_[MAX_FIELD_ROWS] = {};
    int withTextCount_ = 0;
    // Index into boxes_ for the ids EDIT_ID_BASE to EDIT_ID_BASE + 128 (every
    // id the procedure gives a box); -1 for none. Other ids are searched.
    int16_t boxIndex_[MAX_FIELD_ROWS];
    int tabStops_[MAX_FIELD_ROWS + 8] = {};
    int tabStopCount_ = 0;
    int boxTabStops_ = 0;  // the boxes' tab stops, first in tabStops_
    int focus_ = 0;
    int scrollMinimum_ = 0;
    int scrollMaximum_ = 0;
    int scrollPosition_ = 0;
    bool ended_ = false;
    int result_ = 0;
    const char* pendingFile_ = nullptr;
};

}  // namespace ui
