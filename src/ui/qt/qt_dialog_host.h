#pragma once

#include <QDialog>
#include <vector>

#include "ui/dialog_host.h"
#include "ui/qt/dialog_frame.h"

class QScrollBar;

// One modal dialog built from a template, its controls created by its
// procedure at pixel rectangles of the client area, without layouts:
// resizing the dialog moves no control. The procedure decides everything
// else too, with the keys and requests of the Windows dialog manager:
// - The dialog closes only when it calls EndDialog; Escape and the close box
//   become the Cancel command.
// - Enter presses the button that has the focus; elsewhere it is the OK
//   command (Respond), as the dialog manager's default button id.
// - Every way the scroll bar can move becomes a scroll request: steps and
//   pages as line and page requests, everything else ("Scroll here", top,
//   bottom, the released thumb, a value set from outside) as a thumb
//   position. The wheel asks for three lines a notch. The bar and the
//   contents move only where the procedure puts them.
// - When the focus enters an edit box outside the view, a thumb-position
//   request brings it into view.

namespace ui {

class QtDialogHost : public QDialog, public DialogHost {
    Q_OBJECT
  public:
    // context goes to every call of the procedure.
    QtDialogHost(const DialogFrame& frame, DialogProc procedure, void* context);

    // Initialises the dialog, then runs it until its procedure ends it.
    // Returns the end result, or -1 when the dialog was closed otherwise.
    int Run();

    bool CreateControl(const char* className, const char* text, uint32_t style, int x, int y,
                       int width, int height, int id) override;
    void LimitText(int id, int limit) override;
    void LimitToHexDigits(int id) override;
    void TakeUtf8Text(int id) override;
    int GetItemText(int id, char* buffer, int room) override;
    void SetItemText(int id, const char* text) override;
    // The box's tooltip: chip data's decoded objects.
    void SetItemTip(int id, const char* text) override;
    bool TakesTips() const override { return true; }
    int NextTabStop(int id) override;
    void SetFocus(int id) override;
    void GetScrollRange(int* minimum, int* maximum) override;
    int GetScrollPos() override;
    void SetScrollPos(int position, bool redraw) override;
    void SetScrollRange(int minimum, int maximum, bool redraw) override;
    void ScrollContents(int dy) override;
    void ShowMessageBox(const char* text, unsigned icon) override;
    void EndDialog(int result) override;
    bool ChooseFile(char* fileName, bool forSave) override;

    // Escape and the close box.
    void reject() override;

    // The first control created with this id, or null.
    QWidget* Item(int id) const;

    // The row's label is shown marked ("! " before its name, in red) with
    // the finding as its tooltip and the box's.
    void MarkField(int editId, const char* finding) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    struct Control {
        int id;
        QWidget* widget;
        bool tabStop;
    };

    void Command(int id);
    void Scroll(unsigned request, unsigned position);
    void ScrollBarAction(int action);
    void ScrollBarMoved(int value);
    // Moves the bar without asking the procedure.
    void PutScrollBar(int value);
    void ShowFocusedBox(const QWidget& box);
    void PlaceScrollBar();

    DialogProc procedure_;
    void* context_;
    QWidget* viewport_;  // the client area left of the scroll bar
    QWidget* contents_;  // holds the controls; moved as a whole by scrolling
    QScrollBar* scrollBar_;
    std::vector<Control> controls_;  // in creation order, which is the tab order
    QWidget* lastTabStop_ = nullptr;
    int position_ = 0;        // the scroll position the procedure set
    bool movingBar_ = false;  // the host itself is moving the bar
    int wheelRest_ = 0;
    bool ended_ = false;
    int result_ = -1;
};

}  // namespace ui
