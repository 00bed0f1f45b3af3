#pragma once

#include "ui/dialog_host.h"
#include "ui/field_rows.h"

// A dialog without a screen: edit boxes are strings with the ids and input
// limits the procedure gives them. Static storage, so that answering a
// message allocates nothing.

namespace ui {

class ScriptDialog : public DialogHost {
public:
    ScriptDialog();

    bool CreateControl(const char* className, const char* text, uint32_t style, int x, int y,
                       int width, int height, int id) override;
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
    // box's input limit. Returns false when the dialog has no such box.
    bool Type(int id, const char* text);
    bool HasBox(int id) const { return Find(id) != nullptr; }
    const char* BoxText(int id) const;
    // The file the next file dialog chooses (null: the operator cancels).
    void AnswerFileDialog(const char* path) { pendingFile_ = path; }

    bool ended() const { return ended_; }
    int result() const { return result_; }
    int boxCount() const { return boxCount_; }
    int boxId(int index) const { return boxes_[index].id; }

private:
    struct Box {
        int id;
        int limit;
        int length;
        char text[FIELD_VALUE_SIZE];
    };
    Box* Find(int id);
    const Box* Find(int id) const;

    static Box boxes_[MAX_FIELD_ROWS];
    int boxCount_ = 0;
    // Index into boxes_ for the ids EDIT_ID_BASE to EDIT_ID_BASE + 128 (every
    // id the procedure gives a box); -1 for none. Other ids are searched.
    int16_t boxIndex_[MAX_FIELD_ROWS];
    int tabStops_[MAX_FIELD_ROWS + 4] = {};
    int tabStopCount_ = 0;
    int focus_ = 0;
    int scrollMinimum_ = 0;
    int scrollMaximum_ = 0;
    int scrollPosition_ = 0;
    bool ended_ = false;
    int result_ = 0;
    const char* pendingFile_ = nullptr;
};

}  // namespace ui
