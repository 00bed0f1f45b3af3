#include "ui/script/script_dialog.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "diag/message_fields.h"
#include "ui/control_class.h"
#include "ui/field_text_area.h"
#include "ui/standard_error.h"

namespace ui {

ScriptDialog::Box ScriptDialog::boxes_[MAX_FIELD_ROWS];
char ScriptDialog::texts_[MAX_FIELD_ROWS][FIELD_VALUE_SIZE];

ScriptDialog::ScriptDialog() {
    Forget();
}

void ScriptDialog::Forget() {
    std::fill(std::begin(boxIndex_), std::end(boxIndex_), -1);
    boxCount_ = 0;
    boxTabStops_ = 0;
    matched_ = nullptr;
    std::fill(std::begin(hasText_), std::end(hasText_), false);
    withTextCount_ = 0;
    Reopen();
}

void ScriptDialog::Reopen() {
    // The boxes' tab stops stay; the buttons are created anew after them.
    tabStopCount_ = boxTabStops_;
    focus_ = 0;
    scrollMinimum_ = scrollMaximum_ = scrollPosition_ = 0;
    ended_ = false;
    result_ = 0;
    pendingFile_ = nullptr;
}

void ScriptDialog::Own(Box& box, std::string_view text) {
    size_t length = std::min(text.size(), static_cast<size_t>(FIELD_VALUE_SIZE - 1));
    if (length > 0) {
        std::memmove(box.text, text.data(), length);  // the text may be this box's own
    }
    box.text[length] = '\0';
    box.data = box.text;
    box.length = static_cast<int>(length);
    box.scanned = true;
    MarkText(static_cast<int>(&box - boxes_), length > 0);
}

void ScriptDialog::MarkText(int index, bool hasText) {
    if (hasText && !hasText_[index]) {
        if (withTextCount_ == MAX_FIELD_ROWS) {
            // Full of boxes that were emptied meanwhile: keep the others.
            withTextCount_ = 0;
            for (int i = 0; i < boxCount_; ++i) {
                if (hasText_[i]) {
                    withText_[withTextCount_++] = static_cast<int16_t>(i);
                }
            }
        }
        withText_[withTextCount_++] = static_cast<int16_t>(index);
    }
    hasText_[index] = hasText;
}

std::string_view ScriptDialog::View(Box& box) {
    if (!box.scanned) {
        // A value by reference, shown as a box shows a slot's value.
        box.length = ValueTextLength(reinterpret_cast<const unsigned char*>(box.data), box.length);
        box.scanned = true;
        hasText_[&box - boxes_] = box.length > 0;
    }
    return std::string_view(box.length > 0 ? box.data : "", static_cast<size_t>(box.length));
}

bool ScriptDialog::CreateControl(const char* className, const char* text, uint32_t style, int, int,
                                 int, int, int id) {
    // Labels and buttons hold no text worth keeping.
    const bool edit = ClassOfName(className) == ControlClass::Edit;
    if (edit && boxCount_ == MAX_FIELD_ROWS) {
        return false;
    }
    if ((style & WS_TABSTOP) != 0 && tabStopCount_ < static_cast<int>(std::size(tabStops_))) {
        tabStops_[tabStopCount_++] = id;
    }
    if (!edit) {
        return true;
    }
    if (id >= EDIT_ID_BASE && id < EDIT_ID_BASE + MAX_FIELD_ROWS) {
        boxIndex_[id - EDIT_ID_BASE] = static_cast<int16_t>(boxCount_);
    }
    boxTabStops_ = tabStopCount_;
    Box& box = boxes_[boxCount_];
    box.text = texts_[boxCount_];
    ++boxCount_;
    box.id = id;
    box.limit = FIELD_VALUE_SIZE - 1;
    Own(box, std::string_view(text, strnlen(text, FIELD_VALUE_SIZE - 1)));
    return true;
}

bool ScriptDialog::Matches(const FieldRows& rows) {
    if (matched_ == &rows) {
        return true;
    }
    if (rows.count != boxCount_) {
        return false;
    }
    for (int r = 0; r < rows.count; ++r) {
        if (boxes_[r].id != rows.rows[r].editId) {
            return false;
        }
    }
    std::fill(std::begin(boxOfSlot_), std::end(boxOfSlot_), -1);
    for (int r = 0; r < rows.count; ++r) {
        int slot = rows.rows[r].slot;
        if (slot < 0 || slot >= MESSAGE_SLOTS || boxOfSlot_[slot] >= 0) {
            return false;  // every row its own slot, or no refilling
        }
        boxOfSlot_[slot] = static_cast<int16_t>(r);
    }
    matched_ = &rows;
    return true;
}

bool ScriptDialog::RefillRows(const FieldRows& rows, const MessageFields& message) {
    if (!Matches(rows)) {
        Forget();  // the first dialog, or another layout: the rows are created
        return false;
    }
    // By reference, nothing copied or scanned, and no work for the many empty
    // boxes: the last message's texts are cleared, this one's values set.
    static const char kEmpty[] = "";
    for (int i = 0; i < withTextCount_; ++i) {
        Box& box = boxes_[withText_[i]];
        box.data = kEmpty;
        box.length = 0;
        box.scanned = true;
        hasText_[withText_[i]] = false;
    }
    withTextCount_ = 0;
    for (int n = 0; n < MESSAGE_SLOTS; ++n) {
        const FieldSlot& slot = message.slots[n];
        if (slot.length > 0 && boxOfSlot_[n] >= 0) {
            RefillBox(boxOfSlot_[n], reinterpret_cast<const char*>(slot.data), slot.length);
        }
    }
    return true;
}

const bool* ScriptDialog::RowsWithText(const FieldRows& rows) {
    if (!Matches(rows)) {
        return nullptr;
    }
    // Read-back writes into the text area: a value that lies there is
    // copied first, or the read-back would overwrite it before reading it.
    const char* area = reinterpret_cast<const char*>(&fieldTextArea);
    for (int i = 0; i < withTextCount_; ++i) {
        Box& box = boxes_[withText_[i]];
        if (box.data != box.text && box.data >= area && box.data < area + sizeof fieldTextArea) {
            Own(box, View(box));
        }
    }
    return hasText_;
}

void ScriptDialog::RefillBox(int index, const char* text, int length) {
    Box& box = boxes_[index];
    box.data = text;
    box.length = length;
    box.scanned = false;
    MarkText(index, length > 0);
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
    Box* box = Find(id);
    if (room <= 0) {
        return 0;
    }
    if (box == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    std::string_view text = View(*box);
    int k = std::min(static_cast<int>(text.size()), room - 1);
    if (k > 0) {
        std::memmove(buffer, text.data(), static_cast<size_t>(k));
    }
    buffer[k] = '\0';
    return k;
}

void ScriptDialog::SetItemText(int id, const char* text) {
    if (Box* box = Find(id)) {
        Own(*box, std::string_view(text, strnlen(text, FIELD_VALUE_SIZE - 1)));
    }
}

bool ScriptDialog::Type(int id, std::string_view text, int* cutAt) {
    Box* box = Find(id);
    if (cutAt != nullptr) {
        *cutAt = 0;
    }
    if (box == nullptr) {
        return false;
    }
    text = text.substr(0, text.find('\0'));
    if (text.size() > static_cast<size_t>(box->limit)) {
        text = text.substr(0, static_cast<size_t>(box->limit));
        if (cutAt != nullptr) {
            *cutAt = box->limit;
        }
    }
    Own(*box, text);
    return true;
}

std::string_view ScriptDialog::BoxView(int id) {
    Box* box = Find(id);
    return box != nullptr ? View(*box) : std::string_view();
}

const char* ScriptDialog::BoxText(int id) {
    Box* box = Find(id);
    if (box == nullptr) {
        return nullptr;
    }
    if (box->data != box->text) {
        Own(*box, View(*box));
    }
    return box->text;
}

int ScriptDialog::NextTabStop(int id) {
    // From the end: the procedure asks for the buttons', which come last.
    for (int i = tabStopCount_ - 1; i >= 0; --i) {
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
    SayOnStandardError("%s", text);
}

void ScriptDialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

bool ScriptDialog::ChooseFile(char* fileName, bool) {
    if (pendingFile_ == nullptr) {
        return false;
    }
    size_t length = strnlen(pendingFile_, FILE_NAME_SIZE - 1);
    std::memcpy(fileName, pendingFile_, length);
    fileName[length] = '\0';
    pendingFile_ = nullptr;
    return true;
}

}  // namespace ui
