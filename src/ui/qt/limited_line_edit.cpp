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

namespace {

// The hexadecimal digits of text, letters upper case.
QString HexDigitsOf(QStringView text) {
    QString digits;
    digits.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F')) {
            digits += c;
        } else if (u >= u'a' && u <= u'f') {
            digits += QChar(static_cast<char16_t>(u - u'a' + u'A'));
        }
    }
    return digits;
}

}  // namespace

// The edit is found by comparing the new text with the one last accepted:
// the text after the cursor is what stood after the edit's place, the common
// beginning what stood before it, and the rest was inserted. Where the
// inserted text begins like the selection it replaced, that beginning counts
// as kept; this gives the Windows result whenever the box held no more than
// its limit, and keeps a little more of a longer text the program had set.
QValidator::State InputLimit::validate(QString& input, int& position) const {
    LimitedLineEdit& edit = edit_;
    const QString& before = edit.accepted_;
    if (edit.settingWholeText_ || input == before ||
        (!edit.hexDigits_ &&
         (edit.limit_ <= 0 || input.size() <= edit.limit_ || input.size() <= before.size()))) {
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
    const qsizetype inserted = input.size() - after - common;
    const QStringView typed = QStringView(input).mid(common, inserted);
    QString added = edit.hexDigits_ ? HexDigitsOf(typed) : typed.toString();
    const qsizetype size = common + added.size() + after;
    if (edit.limit_ > 0 && size > edit.limit_ && size > before.size()) {
        added.truncate(std::max<qsizetype>(edit.limit_ - (common + after), 0));
    }
    if (edit.hexDigits_ && added.isEmpty() && inserted > 0) {
        // Nothing typed was a digit: the keystroke does nothing, as a Windows
        // box that drops the character leaves the selection it would replace.
        input = before;
        position = static_cast<int>(common);
    } else if (added != typed) {
        input = before.left(common) + added + before.right(after);
        position = static_cast<int>(common + added.size());
    }
    edit.accepted_ = input;
    return Acceptable;
}

}  // namespace ui
