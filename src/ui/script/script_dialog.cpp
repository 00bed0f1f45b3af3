#include "ui/script/script_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "ui/control_class.h"

namespace ui {

ScriptDialog::Box ScriptDialog::boxes_[MAX_FIELD_ROWS];

ScriptDialog::ScriptDialog() { std::fill(std::begin(boxIndex_), std::end(boxIndex_), -1); }

namespace {
void CopyText(char* destination, const char* text, int limit) {
    size_t length = strnlen(text, static_cast<size_t>(limit));
    std::memcpy(destination, text, length);
    destination[length] = '\0';
}
}  // namespace

bool ScriptDialog::CreateControl(const char* className, const char* text, uint32_t style, int, int,
                                 int, int, int id) {
    if ((style & WS_TABSTOP) != 0 && tabStopCount_ < static_cast<int>(std::size(tabStops_))) {
        tabStops_[tabStopCount_++] = id;
    }
    // Labels and buttons hold no text worth keeping.
    if (ClassOfName(className) != ControlClass::Edit) {
        return true;
    }
    if (boxCount_ == MAX_FIELD_ROWS) {
        return false;
    }
    if (id >= EDIT_ID_BASE && id < EDIT_ID_BASE + MAX_FIELD_ROWS) {
        boxIndex_[id - EDIT_ID_BASE] = static_cast<int16_t>(boxCount_);
    }
    Box& box = boxes_[boxCount_++];
    box.id = id;
    box.limit = FIELD_VALUE_SIZE - 1;
    CopyText(box.text, text, FIELD_VALUE_SIZE - 1);
    box.length = static_cast<int>(std::strlen(box.text));
    return true;
}

ScriptDialog::Box* ScriptDialog::Find(int id) {
    if (id >= EDIT_ID_BASE && id < EDIT_ID_BASE + MAX_FIELD_ROWS) {
        int index = boxIndex_[id - EDIT_ID_BASE];
        return index >= 0 ? &boxes_[index] : nullptr;
    }
    for (int i = 0; i < boxCount_; ++i) {
        if (boxes_[i].id == id) {
            return &boxes_[i];
        }
    }
    return nullptr;
}

const ScriptDialog::Box* ScriptDialog::Find(int id) const {
    return const_cast<ScriptDialog*>(this)->Find(id);
}

void ScriptDialog::LimitText(int id, int limit) {
    if (Box* box = Find(id)) {
        box->limit = limit > 0 && limit < FIELD_VALUE_SIZE ? limit : FIELD_VALUE_SIZE - 1;
    }
}

int ScriptDialog::GetItemText(int id, char* buffer, int room) {
    const Box* box = Find(id);
    if (room <= 0) {
        return 0;
    }
    if (box == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    int k = box->length < room - 1 ? box->length : room - 1;
    std::memcpy(buffer, box->text, static_cast<size_t>(k));
    buffer[k] = '\0';
    return k;
}

void ScriptDialog::SetItemText(int id, const char* text) {
    if (Box* box = Find(id)) {
        CopyText(box->text, text, FIELD_VALUE_SIZE - 1);
        box->length = static_cast<int>(std::strlen(box->text));
    }
}

bool ScriptDialog::Type(int id, const char* text) {
    Box* box = Find(id);
    if (box == nullptr) {
        return false;
    }
    CopyText(box->text, text, box->limit);
    box->length = static_cast<int>(std::strlen(box->text));
    return true;
}

const char* ScriptDialog::BoxText(int id) const {
    const Box* box = Find(id);
    return box != nullptr ? box->text : nullptr;
}

int ScriptDialog::NextTabStop(int id) {
    for (int i = 0; i < tabStopCount_; ++i) {
        if (tabStops_[i] == id) {
            return tabStops_[(i + 1) % tabStopCount_];
        }
    }
    return 0;
}

void ScriptDialog::GetScrollRange(int* minimum, int* maximum) {
    *minimum = scrollMinimum_;
    *maximum = scrollMaximum_;
}

void ScriptDialog::SetScrollRange(int minimum, int maximum, bool) {
    scrollMinimum_ = minimum;
    scrollMaximum_ = maximum;
}

void ScriptDialog::ShowMessageBox(const char* text, unsigned) {
    std::fprintf(stderr, "VELK Tester: %s\n", text);
    std::fflush(stderr);
}

void ScriptDialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

bool ScriptDialog::ChooseFile(char* fileName, bool) {
    if (pendingFile_ == nullptr) {
        return false;
    }
    CopyText(fileName, pendingFile_, FILE_NAME_SIZE - 1);
    pendingFile_ = nullptr;
    return true;
}

}  // namespace ui
