#pragma once

#include <QLineEdit>
#include <QValidator>

// A single-line edit box with the input limit of a Windows edit control: text
// the program sets is kept whole, however long; typing, pasting and dropping
// remove the selection they replace and then insert only as many characters
// as the limit leaves room for. QLineEdit::setMaxLength cannot serve: it cuts
// the program's text as well. A box limited to hexadecimal digits drops every
// other character typed, pasted or dropped and makes the letters upper case;
// it does so in the validator, which must never answer Invalid (that breaks
// typing after a programmatic setText).

namespace ui {

class LimitedLineEdit;

// Sees every change of the box's text, before the box shows it.
class InputLimit : public QValidator {
    Q_OBJECT
  public:
    explicit InputLimit(LimitedLineEdit& edit) : QValidator(nullptr), edit_(edit) {}
    State validate(QString& input, int& position) const override;

  private:
    LimitedLineEdit& edit_;
};

class LimitedLineEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit LimitedLineEdit(QWidget* parent);

    // 0 or less: only QLineEdit's own maximum length applies.
    void SetLimit(int limit) { limit_ = limit; }
    int limit() const { return limit_; }
    void SetHexDigits(bool hexDigits) { hexDigits_ = hexDigits; }
    bool hexDigits() const { return hexDigits_; }
    // The program's bytes are UTF-8 text (else each byte is one character).
    void SetUtf8(bool utf8) { utf8_ = utf8; }
    bool utf8() const { return utf8_; }
    // Shows text whole, whatever the limit, from its first character on.
    void SetWholeText(const QString& text);

  private:
    friend class InputLimit;

    InputLimit inputLimit_;
    int limit_ = 0;
    bool hexDigits_ = false;
    bool utf8_ = false;
    bool settingWholeText_ = false;
    // The text as last accepted: what an edit is compared with.
    QString accepted_;
};

}  // namespace ui
