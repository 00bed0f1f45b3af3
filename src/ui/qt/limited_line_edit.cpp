#include "ui/qt/limited_line_edit.h"

#include <algorithm>

namespace ui {

LimitedLineEdit::LimitedLineEdit(QWidget* parent) : QLineEdit(parent), inputLimit_(*this) {
    setValidator(&inputLimit_);
}

void LimitedLineEdit::SetWholeText(const QString& text) {
    settingWholeText_ = true;
    setText(text);
    settingWholeText_ = false;
    setCursorPosition(0);
}

// The edit is found by comparing the new text with the one last accepted:
// the text after the cursor is what stood after the edit's place, the common
// beginning what stood before it, and the rest was inserted. Where the
// inserted text begins like the selection it replaced, that beginning counts
// as kept; this gives the Windows result whenever the box held no more than
// its limit, and keeps a little more of a longer text the program had set.
QValidator::State InputLimit::validate(QString& input, int& position) const {
    LimitedLineEdit& edit = edit_;
    const QString& before = edit.accepted_;
    if (edit.settingWholeText_ || edit.limit_ <= 0 || input.size() <= edit.limit_ ||
        input.size() <= before.size()) {
        edit.accepted_ = input;
        return Acceptable;
    }
    qsizetype after = input.size() - std::clamp<qsizetype>(position, 0, input.size());
    if (after > before.size() || !before.endsWith(QStringView(input).right(after))) {
        after = 0;
        while (after < before.size() && after < input.size() &&
               before[before.size() - 1 - after] == input[input.size() - 1 - after]) {
            ++after;
        }
    }
    qsizetype common = 0;
    qsizetype commonMost = std::min(before.size(), input.size()) - after;
    while (common < commonMost && before[common] == input[common]) {
        ++common;
    }
    qsizetype inserted = input.size() - after - common;
    qsizetype room = std::max<qsizetype>(edit.limit_ - (common + after), 0);
    if (inserted > room) {
        input = before.left(common) + input.mid(common, room) + before.right(after);
        position = static_cast<int>(common + room);
    }
    edit.accepted_ = input;
    return Acceptable;
}

}  // namespace ui
