#include "ui/qt/qt_dialog_host.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstring>

#include "ui/control_class.h"
#include "ui/dialog_scroll.h"
#include "ui/qt/file_chooser.h"
#include "ui/qt/limited_line_edit.h"
#include "ui/qt/message_box.h"

namespace ui {

namespace {

constexpr Qt::WindowFlags FRAME_FLAGS = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                                        Qt::WindowCloseButtonHint;

// Control texts are 8-bit: each byte is one character, so that what the
// procedure reads back is byte for byte what it wrote.
QString FromBytes(const char* text) {
    return QString::fromLatin1(text);
}

// A label cut by its width carries the whole text as its tooltip.
void SetLabelText(QLabel& label, const QString& text) {
    label.setText(text);
    bool cut = label.fontMetrics().horizontalAdvance(text) > label.contentsRect().width();
    label.setToolTip(cut ? text : QString());
}

QString TextOf(const QWidget* widget) {
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    return {};
}

}  // namespace

QtDialogHost::QtDialogHost(const DialogFrame& frame, DialogProc procedure, void* context)
    : QDialog(nullptr, FRAME_FLAGS),
      procedure_(procedure),
      context_(context),
      viewport_(new QWidget(this)),
      contents_(new QWidget(viewport_)),
      scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    setWindowTitle(frame.title);
    scrollBar_->setRange(0, 0);
    // The bar's own steps size its thumb; the procedure decides every move.
    scrollBar_->setSingleStep(SCROLL_LINE);
    scrollBar_->setPageStep(SCROLL_PAGE);
    // Dragging the thumb moves nothing; its release is the request.
    scrollBar_->setTracking(false);
    scrollBar_->setVisible(frame.verticalScrollBar);
    connect(scrollBar_, &QAbstractSlider::actionTriggered, this, &QtDialogHost::ScrollBarAction);
    connect(scrollBar_, &QAbstractSlider::valueChanged, this, &QtDialogHost::ScrollBarMoved);
    contents_->resize(0, 0);
    resize(frame.width, frame.height);
    PlaceScrollBar();
}

int QtDialogHost::Run() {
    // Non-zero from the initialisation asks for the focus on the first tab stop.
    if (procedure_(*this, WM_INITDIALOG, 0, 0, context_) != 0) {
        auto first = std::find_if(controls_.begin(), controls_.end(),
                                  [](const Control& control) { return control.tabStop; });
        if (first != controls_.end()) {
            first->widget->setFocus(Qt::OtherFocusReason);
        }
    }
    if (!ended_) {
        exec();
    }
    return ended_ ? result_ : -1;
}

bool QtDialogHost::CreateControl(const char* className, const char* text, uint32_t style, int x,
                                 int y, int width, int height, int id) {
    QWidget* widget = nullptr;
    bool tabStop = (style & WS_TABSTOP) != 0;
    ControlClass kind = ClassOfName(className);
    if (kind == ControlClass::Static) {
        auto* label = new QLabel(contents_);
        label->setTextFormat(Qt::PlainText);
        widget = label;
    } else if (kind == ControlClass::Edit) {
        auto* edit = new LimitedLineEdit(contents_);
        edit->SetWholeText(FromBytes(text));
        edit->setFrame((style & WS_BORDER) != 0);
        edit->installEventFilter(this);
        // Typing tells the procedure, as the dialog manager's EN_CHANGE does.
        connect(edit, &QLineEdit::textEdited, this, [this, id] {
            procedure_(*this, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), EN_CHANGE), 0,
                       context_);
        });
        widget = edit;
    } else if (kind == ControlClass::Button) {
        auto* button = new QPushButton(FromBytes(text), contents_);
        // Enter must not press a button the person did not choose.
        button->setAutoDefault(false);
        button->setDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { Command(id); });
        widget = button;
    } else {
        return false;
    }
    widget->setGeometry(x, y, width, height);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        SetLabelText(*label, FromBytes(text));
    }
    if (tabStop) {
        widget->setFocusPolicy(Qt::StrongFocus);
        if (lastTabStop_ != nullptr) {
            QWidget::setTabOrder(lastTabStop_, widget);
        }
        lastTabStop_ = widget;
    } else {
        widget->setFocusPolicy(qobject_cast<QLabel*>(widget) != nullptr ? Qt::NoFocus
                                                                        : Qt::ClickFocus);
    }
    widget->setVisible((style & WS_VISIBLE) != 0);
    contents_->resize(std::max(contents_->width(), x + width),
                      std::max(contents_->height(), y + height));
    controls_.push_back(Control{id, widget, tabStop});
    return true;
}

QWidget* QtDialogHost::Item(int id) const {
    for (const Control& control : controls_) {
        if (control.id == id) {
            return control.widget;
        }
    }
    return nullptr;
}

void QtDialogHost::LimitText(int id, int limit) {
    if (auto* edit = qobject_cast<LimitedLineEdit*>(Item(id))) {
        edit->SetLimit(limit);
    }
}

void QtDialogHost::LimitToHexDigits(int id) {
    if (auto* edit = qobject_cast<LimitedLineEdit*>(Item(id))) {
        edit->SetHexDigits(true);
    }
}

void QtDialogHost::TakeUtf8Text(int id) {
    if (auto* edit = qobject_cast<LimitedLineEdit*>(Item(id))) {
        edit->SetUtf8(true);
        edit->SetWholeText(QString::fromUtf8(edit->text().toLatin1()));
    }
}

int QtDialogHost::GetItemText(int id, char* buffer, int room) {
    if (room <= 0) {
        return 0;
    }
    QWidget* widget = Item(id);
    auto* edit = qobject_cast<LimitedLineEdit*>(widget);
    QByteArray text =
        edit != nullptr && edit->utf8() ? edit->text().toUtf8() : TextOf(widget).toLatin1();
    int k = static_cast<int>(std::min<qsizetype>(text.size(), room - 1));
    std::memcpy(buffer, text.constData(), static_cast<size_t>(k));
    buffer[k] = '\0';
    return k;
}

void QtDialogHost::SetItemText(int id, const char* text) {
    QWidget* widget = Item(id);
    if (auto* edit = qobject_cast<LimitedLineEdit*>(widget)) {
        edit->SetWholeText(edit->utf8() ? QString::fromUtf8(text) : FromBytes(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        SetLabelText(*label, FromBytes(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(FromBytes(text));
    }
}

void QtDialogHost::SetItemTip(int id, const char* text) {
    if (QWidget* widget = Item(id)) {
        widget->setToolTip(FromBytes(text));
    }
}

int QtDialogHost::NextTabStop(int id) {
    auto from = std::find_if(controls_.begin(), controls_.end(),
                             [id](const Control& control) { return control.id == id; });
    if (from == controls_.end()) {
        return 0;
    }
    size_t start = static_cast<size_t>(from - controls_.begin());
    for (size_t step = 1; step <= controls_.size(); ++step) {
        const Control& next = controls_[(start + step) % controls_.size()];
        if (next.tabStop) {
            return next.id;
        }
    }
    return 0;
}

void QtDialogHost::SetFocus(int id) {
    if (QWidget* widget = Item(id)) {
        widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtDialogHost::GetScrollRange(int* minimum, int* maximum) {
    *minimum = scrollBar_->minimum();
    *maximum = scrollBar_->maximum();
}

int QtDialogHost::GetScrollPos() {
    return position_;
}

void QtDialogHost::SetScrollPos(int position, bool) {
    PutScrollBar(position);
}

void QtDialogHost::SetScrollRange(int minimum, int maximum, bool) {
    movingBar_ = true;
    scrollBar_->setRange(minimum, maximum);
    movingBar_ = false;
    position_ = scrollBar_->value();
}

void QtDialogHost::PutScrollBar(int value) {
    movingBar_ = true;
    scrollBar_->setValue(value);
    scrollBar_->setSliderPosition(scrollBar_->value());
    movingBar_ = false;
    position_ = scrollBar_->value();
}

void QtDialogHost::ScrollContents(int dy) {
    contents_->move(contents_->x(), contents_->y() + dy);
}

void QtDialogHost::ShowMessageBox(const char* text, unsigned icon) {
    ShowVelkMessageBox(text, icon);
}

void QtDialogHost::EndDialog(int result) {
    ended_ = true;
    result_ = result;
    if (isVisible()) {
        done(result);
    }
}

bool QtDialogHost::ChooseFile(char* fileName, bool forSave) {
    return ChooseMessageDataFile(this, fileName, forSave);
}

void QtDialogHost::reject() {
    if (!ended_) {
        Command(IDCANCEL);
    }
}

void QtDialogHost::Command(int id) {
    procedure_(*this, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), 0), 0, context_);
}

void QtDialogHost::Scroll(unsigned request, unsigned position) {
    procedure_(*this, WM_VSCROLL, MakeWParam(request, position), 0, context_);
}

// Called after the bar has moved its slider for the action and before it
// takes the slider's place as its value: the slider goes back to where the
// procedure put it, so that only the procedure's SetScrollPos moves the bar.
void QtDialogHost::ScrollBarAction(int action) {
    unsigned position = static_cast<unsigned>(scrollBar_->sliderPosition());
    unsigned request = SB_THUMBPOSITION;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            request = SB_LINEUP;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            request = SB_LINEDOWN;
            break;
        case QAbstractSlider::SliderPageStepSub:
            request = SB_PAGEUP;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            request = SB_PAGEDOWN;
            break;
        case QAbstractSlider::SliderToMinimum:
        case QAbstractSlider::SliderToMaximum:
        case QAbstractSlider::SliderMove:
            // Top, bottom, the thumb released, the wheel over the bar: the
            // bar says where it went.
            break;
        default:
            return;
    }
    PutScrollBar(position_);
    Scroll(request, position);
}

// The bar set to a value without an action ("Scroll here" in its menu, or
// any setValue): back to where the procedure put it, then the procedure
// decides as for a released thumb.
void QtDialogHost::ScrollBarMoved(int value) {
    if (movingBar_ || value == position_) {
        return;
    }
    PutScrollBar(position_);
    Scroll(SB_THUMBPOSITION, static_cast<unsigned>(value));
}

void QtDialogHost::ShowFocusedBox(const QWidget& box) {
    if (scrollBar_->isHidden()) {
        return;
    }
    // The box's place in the contents, which move as a whole.
    int top = box.y();
    int next = PositionShowing(position_, scrollBar_->minimum(), scrollBar_->maximum(), top,
                               top + box.height(), viewport_->height());
    if (next != position_) {
        Scroll(SB_THUMBPOSITION, static_cast<unsigned>(next));
    }
}

bool QtDialogHost::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        ShowFocusedBox(*static_cast<QWidget*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void QtDialogHost::PlaceScrollBar() {
    int barWidth = scrollBar_->isHidden() ? 0 : scrollBar_->sizeHint().width();
    scrollBar_->setGeometry(width() - barWidth, 0, barWidth, height());
    viewport_->setGeometry(0, 0, width() - barWidth, height());
}

void QtDialogHost::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            Command(IDOK);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

// The styles draw the focus frame only after a move by keyboard, and showing
// a window forgets any: the control that starts with the focus shows it.
void QtDialogHost::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void QtDialogHost::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceScrollBar();
}

// The wheel over the contents scrolls by lines, through the procedure.
void QtDialogHost::wheelEvent(QWheelEvent* event) {
    if (scrollBar_->isHidden()) {
        QDialog::wheelEvent(event);
        return;
    }
    int lines = WheelLines(wheelRest_, event->angleDelta().y());
    for (int line = 0; line < (lines < 0 ? -lines : lines); ++line) {
        Scroll(lines > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    }
    event->accept();
}

void QtDialogHost::MarkField(int editId, const char* finding) {
    for (size_t i = 1; i < controls_.size(); ++i) {
        if (controls_[i].id != editId) {
            continue;
        }
        const QString text = FromBytes(finding);
        controls_[i].widget->setToolTip(text);
        // The row's label was made just before its box.
        if (auto* label = qobject_cast<QLabel*>(controls_[i - 1].widget)) {
            label->setText("! " + label->text());
            label->setStyleSheet("color: #b00020;");
            label->setToolTip(text);
        }
        return;
    }
}

}  // namespace ui
