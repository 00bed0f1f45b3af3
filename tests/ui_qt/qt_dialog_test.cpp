#include <fcntl.h>

#include <QApplication>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

#include "desk_fixture.h"
#include "ui/field_rows.h"
#include "ui/responder_state.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"

namespace {

using QtDialog = DeskFixture;

QScrollBar* ScrollBar(ui::QtDialogHost& dialog) {
    return dialog.findChild<QScrollBar*>();
}

TEST_F(QtDialog, HasTheTemplatesTitleSizeAndAScrollBarOfItsOwn) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("VELK Tester"));
    // 282 x 164 dialog units of the system font's 8 x 16 base units.
    EXPECT_EQ(dialog->size(), QSize(564, 328));
    Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags.testFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
    QScrollBar* bar = ScrollBar(*dialog);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->geometry().right(), dialog->width() - 1);
    EXPECT_EQ(bar->height(), dialog->height());
    EXPECT_EQ(bar->singleStep(), 30);
    EXPECT_EQ(bar->pageStep(), 240);
    EXPECT_FALSE(bar->hasTracking());
    EXPECT_EQ(bar->maximum(), 150);
}

TEST_F(QtDialog, ControlsStandAtTheirPixelRectanglesWhateverTheDialogsSize) {
    struct Spot {
        int id;
        QRect rect;
    };
    const Spot spots[] = {
        {ui::LABEL_ID, QRect(10, 10, 220, 20)},
        {1000, QRect(235, 10, 350, 20)},
        {1002, QRect(235, 40, 350, 20)},
        {1039, QRect(235, 130, 350, 20)},
        {ui::IDOK, QRect(10, 160, 100, 30)},
        {ui::READ_BUTTON_ID, QRect(110, 160, 100, 30)},
        {ui::SAVE_BUTTON_ID, QRect(210, 160, 100, 30)},
        {ui::IDCANCEL, QRect(310, 160, 100, 30)},
    };
    auto dialog = Open();
    for (QSize size : {QSize(564, 328), QSize(1000, 700), QSize(200, 100)}) {
        dialog->resize(size);
        QApplication::processEvents();
        for (const Spot& spot : spots) {
            EXPECT_EQ(Place(*dialog, spot.id), spot.rect)
                << "id " << spot.id << " at " << size.width();
        }
    }
    // The scroll bar follows the right edge.
    EXPECT_EQ(ScrollBar(*dialog)->geometry().right(), 199);
}

TEST_F(QtDialog, FocusStartsOnReadAndTabFollowsTheOrderOfCreation) {
    auto dialog = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), dialog->Item(ui::READ_BUTTON_ID));
    const int order[] = {ui::SAVE_BUTTON_ID, ui::IDCANCEL,      1000, 1002, 1003, 1004, 1039,
                         ui::IDOK,           ui::READ_BUTTON_ID};
    for (int id : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog->Item(id)) << "expected id " << id;
    }
    EXPECT_EQ(dialog->NextTabStop(ui::IDCANCEL), 1000);
    EXPECT_EQ(dialog->NextTabStop(ui::LABEL_ID), 1000);
}

TEST_F(QtDialog, AReceivedValueShowsWholeAndTypingStopsAtTheLimit) {
    const std::string pan(25, '4');  // two length digits allow more than MAX_LEN 19
    Put(0, "0200");
    Put(2, pan);
    auto dialog = Open();
    char text[ui::FIELD_VALUE_SIZE];
    EXPECT_EQ(dialog->GetItemText(1002, text, sizeof text), 25);
    EXPECT_EQ(text, pan);
    ui::LimitedLineEdit* box = Box(*dialog, 1002);
    box->end(false);
    QTest::keyClicks(box, QStringLiteral("5"));
    EXPECT_EQ(box->text().toStdString(), pan);
    QTest::keyClicks(Box(*dialog, 1039), QStringLiteral("0012"));
    EXPECT_EQ(Box(*dialog, 1039)->text(), QStringLiteral("00"));
}

TEST_F(QtDialog, ABinaryFieldsBoxTakesOnlyHexDigitsTwoAByte) {
    UseEncodedController();
    Put(0, "0200");
    auto dialog = Open();
    ui::LimitedLineEdit* pin = Box(*dialog, 1052);
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->limit(), 16);
    QTest::keyClicks(pin, QStringLiteral("01 23-45:67 89ab cdef 0011"));
    EXPECT_EQ(pin->text(), QStringLiteral("0123456789ABCDEF"));
    // The other encodings' boxes take what is typed.
    QTest::keyClicks(Box(*dialog, 1041), QStringLiteral("TERM 01x"));
    EXPECT_EQ(Box(*dialog, 1041)->text(), QStringLiteral("TERM 01x"));
    EXPECT_FALSE(Box(*dialog, 1002)->hexDigits());
}

TEST_F(QtDialog, AnEbcdicFieldsBoxShowsItsTextAndReadsItBackAsUtf8) {
    UseEncodedController();
    Put(0, "0200");
    Put(43, "CAF\xC3\x89 Z\xC3\xBCRICH");
    auto dialog = Open();
    EXPECT_EQ(Box(*dialog, 1043)->text(), QStringLiteral("CAF\u00C9 Z\u00FCRICH"));
    Box(*dialog, 1043)->end(false);
    Box(*dialog, 1043)->insert(QStringLiteral("\u00E9"));  // as typed: a key QTest cannot click
    char text[ui::FIELD_VALUE_SIZE];
    ASSERT_EQ(dialog->GetItemText(1043, text, sizeof text), 15);
    EXPECT_STREQ(text, "CAF\xC3\x89 Z\xC3\xBCRICH\xC3\xA9");
    dialog->SetItemText(1043, "\xC3\x84");
    EXPECT_EQ(Box(*dialog, 1043)->text(), QStringLiteral("\u00C4"));
    // Every other box keeps each byte one character.
    EXPECT_FALSE(Box(*dialog, 1041)->utf8());
}

TEST_F(QtDialog, ControlTextsKeepEveryByte) {
    auto dialog = Open();
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    dialog->SetItemText(1002, bytes.c_str());
    char text[ui::FIELD_VALUE_SIZE];
    ASSERT_EQ(dialog->GetItemText(1002, text, sizeof text), 255);
    EXPECT_EQ(std::string(text), bytes);
    // Room for 3 characters and the NUL.
    EXPECT_EQ(dialog->GetItemText(ui::READ_BUTTON_ID, text, 4), 3);
    EXPECT_STREQ(text, "&Re");
    EXPECT_EQ(dialog->GetItemText(4242, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

// Esc from a button or an edit box, and the close box, reach the procedure as
// Cancel; the dialog closes only when the procedure ends it.
TEST_F(QtDialog, EscapeAndTheCloseBoxAreCancelAndCloseNothingByThemselves) {
    struct Way {
        const char* what;
        void (*act)(ui::QtDialogHost&);
    };
    const Way ways[] = {
        {"Esc on Read",
         [](ui::QtDialogHost& d) { QTest::keyClick(d.Item(ui::READ_BUTTON_ID), Qt::Key_Escape); }},
        {"Esc in a box",
         [](ui::QtDialogHost& d) { QTest::keyClick(d.Item(1003), Qt::Key_Escape); }},
        {"close box", [](ui::QtDialogHost& d) { d.close(); }},
    };
    for (const Way& way : ways) {
        calls.clear();
        cancelsToIgnore = 1;
        auto dialog = Open();
        way.act(*dialog);
        ASSERT_EQ(calls.size(), 2u) << way.what;
        EXPECT_EQ(calls[1].message, ui::WM_COMMAND) << way.what;
        EXPECT_EQ(calls[1].wParam, ui::MakeWParam(ui::IDCANCEL, 0)) << way.what;
        EXPECT_TRUE(dialog->isVisible()) << way.what;
        way.act(*dialog);
        EXPECT_FALSE(dialog->isVisible()) << way.what;
        EXPECT_EQ(dialog->result(), 1) << way.what;
    }
}

// As in the dialog manager: Enter on a button presses that button; anywhere
// else it is the OK command, Respond, which sends and ends the dialog.
TEST_F(QtDialog, EnterPressesTheFocusedButtonOrResponds) {
    struct Press {
        int focus;
        Qt::Key key;
        std::vector<uintptr_t> commands;
    };
    const Press presses[] = {
        {1000, Qt::Key_Return, {ui::MakeWParam(ui::IDOK, 0)}},
        {1039, Qt::Key_Enter, {ui::MakeWParam(ui::IDOK, 0)}},
        {ui::IDCANCEL, Qt::Key_Return, {ui::MakeWParam(ui::IDCANCEL, 0)}},
        {ui::READ_BUTTON_ID, Qt::Key_Enter, {ui::MakeWParam(ui::READ_BUTTON_ID, 0)}},
    };
    Put(0, "0200");
    std::string peer = (root_.root() / "peer.bin").string();
    exchange_.port = OpenPort(peer.c_str(), O_WRONLY | O_CREAT | O_TRUNC, MODE_FILE, "C01");
    ASSERT_GE(exchange_.port, 0);
    for (const Press& press : presses) {
        calls.clear();
        auto dialog = Open();
        if (press.focus == ui::READ_BUTTON_ID) {
            OnNextModal([](QWidget& files) { qobject_cast<QDialog*>(&files)->reject(); });
        }
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        dialog->SetFocus(press.focus);
        QTest::keyClick(QApplication::focusWidget(), press.key);
        std::vector<uintptr_t> commands;
        for (const Call& call : calls) {
            if (call.message == ui::WM_COMMAND) {
                commands.push_back(call.wParam);
            }
        }
        EXPECT_EQ(commands, press.commands) << "focus on " << press.focus;
        EXPECT_EQ(dialog->isVisible(), press.focus == ui::READ_BUTTON_ID) << press.focus;
    }
    ClosePort(exchange_.port);
    EXPECT_EQ(ReadFile(peer).substr(0, 4), "0200");
}

QRect ScrollBarPart(QScrollBar& bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
}

// The 57 ZTR rows give the range 0 .. 1710. Each step acts on the bar or the
// contents as a person would and names the request the procedure must see.
TEST_F(QtDialog, ScrollActionsReachTheProcedureAndMoveTheContents) {
    UseZtr();
    auto dialog = Open();
    QScrollBar* bar = ScrollBar(*dialog);
    ASSERT_EQ(bar->maximum(), 1710);
    struct Step {
        const char* what;
        void (*act)(ui::QtDialogHost&, QScrollBar&);
        unsigned request;
        int position;  // expected afterwards; -1: the thumb's
    };
    const Step steps[] = {
        {"click on the down arrow",
         [](ui::QtDialogHost&, QScrollBar& b) {
             QTest::mouseClick(&b, Qt::LeftButton, {},
                               ScrollBarPart(b, QStyle::SC_ScrollBarAddLine).center());
         },
         ui::SB_LINEDOWN, 30},
        {"click below the thumb",
         [](ui::QtDialogHost&, QScrollBar& b) {
             QTest::mouseClick(&b, Qt::LeftButton, {},
                               ScrollBarPart(b, QStyle::SC_ScrollBarAddPage).center());
         },
         ui::SB_PAGEDOWN, 270},
        {"line up",
         [](ui::QtDialogHost&, QScrollBar& b) {
             b.triggerAction(QAbstractSlider::SliderSingleStepSub);
         },
         ui::SB_LINEUP, 240},
        {"page up near the start",
         [](ui::QtDialogHost&, QScrollBar& b) {
             b.triggerAction(QAbstractSlider::SliderSingleStepSub);
             b.triggerAction(QAbstractSlider::SliderPageStepSub);
         },
         ui::SB_PAGEUP, 0},
        {"to the bottom",
         [](ui::QtDialogHost&, QScrollBar& b) {
             b.triggerAction(QAbstractSlider::SliderToMaximum);
         },
         ui::SB_THUMBPOSITION, 1710},
        {"scroll here: a value set without an action",
         [](ui::QtDialogHost&, QScrollBar& b) { b.setValue(600); }, ui::SB_THUMBPOSITION, 600},
        {"to the top",
         [](ui::QtDialogHost&, QScrollBar& b) {
             b.triggerAction(QAbstractSlider::SliderToMinimum);
         },
         ui::SB_THUMBPOSITION, 0},
        {"the thumb dragged and released",
         [](ui::QtDialogHost&, QScrollBar& b) {
             QPoint thumb = ScrollBarPart(b, QStyle::SC_ScrollBarSlider).center();
             QTest::mousePress(&b, Qt::LeftButton, {}, thumb);
             QTest::mouseMove(&b, thumb + QPoint(0, 60));
             // Dragging alone moves nothing.
             EXPECT_EQ(b.value(), 0);
             EXPECT_TRUE(ScrollRequests().empty());
             QTest::mouseRelease(&b, Qt::LeftButton, {}, thumb + QPoint(0, 60));
         },
         ui::SB_THUMBPOSITION, -1},
        {"one wheel notch down over the contents is three lines",
         [](ui::QtDialogHost& d, QScrollBar&) {
             // The controls leave the wheel to their parents, up to the dialog.
             QPoint at(300, 150);
             QWheelEvent wheel(at, d.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(&d, &wheel);
         },
         ui::SB_LINEDOWN, -1},
    };
    for (const Step& step : steps) {
        calls.clear();
        int before = bar->value();
        step.act(*dialog, *bar);
        std::vector<uintptr_t> requests = ScrollRequests();
        ASSERT_FALSE(requests.empty()) << step.what;
        EXPECT_EQ(ui::LowWord(requests.back()), step.request) << step.what;
        int position = step.position;
        if (step.request == ui::SB_THUMBPOSITION && position < 0) {
            position = static_cast<int>(ui::HighWord(requests.back()));
            EXPECT_GT(position, 0) << step.what;
        } else if (step.request == ui::SB_THUMBPOSITION) {
            EXPECT_EQ(ui::HighWord(requests.back()), static_cast<unsigned>(position)) << step.what;
        } else if (position < 0) {
            EXPECT_EQ(requests.size(), 3u) << step.what;
            position = before + 90;
        }
        EXPECT_EQ(bar->value(), position) << step.what;
        EXPECT_EQ(Place(*dialog, 1001).top(), 10 - position) << step.what;
    }
}

// Tab into a box below or above the view: the view follows through the
// procedure, and the box stands wholly inside the client area.
TEST_F(QtDialog, TheViewFollowsTheFocusIntoBoxesOutsideIt) {
    UseZtr();
    auto dialog = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QScrollBar* bar = ScrollBar(*dialog);
    int viewHeight = dialog->height();
    auto inView = [&](int id) {
        QRect place = Place(*dialog, id);
        return place.top() >= 0 && place.bottom() < viewHeight;
    };
    dialog->SetFocus(1001);
    EXPECT_EQ(bar->value(), 0);
    for (int id = 1002; id <= 1057; ++id) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), dialog->Item(id));
        EXPECT_TRUE(inView(id)) << id;
    }
    EXPECT_EQ(bar->value(), 10 + 56 * 30 + 20 - viewHeight)
        << "the last box's bottom at the view's";
    calls.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(ScrollRequests().empty()) << "a box in view moves nothing";
    dialog->SetFocus(1003);
    EXPECT_TRUE(inView(1003));
    EXPECT_EQ(bar->value(), 10 + 2 * 30);
    EXPECT_EQ(ui::LowWord(ScrollRequests().back()), ui::SB_THUMBPOSITION);
}

TEST_F(QtDialog, TheStartingButtonShowsItsFocus) {
    auto dialog = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), dialog->Item(ui::READ_BUTTON_ID));
    // The styles draw the focus frame only after a keyboard move.
    EXPECT_TRUE(dialog->testAttribute(Qt::WA_KeyboardFocusChange));
}

// A label cut at its 220 pixels shows the whole name as its tooltip.
TEST_F(QtDialog, ACutLabelCarriesTheWholeNameAsItsTooltip) {
    auto dialog = Open();
    const char* longName = "Network Management Information Code of the Acquiring Institution";
    ASSERT_TRUE(dialog->CreateControl("STATIC", longName, ui::WS_CHILD | ui::WS_VISIBLE, 10, 400,
                                      220, 20, 77));
    EXPECT_EQ(dialog->Item(77)->toolTip(), QString::fromLatin1(longName));
    dialog->SetItemText(77, "Amount");
    EXPECT_EQ(dialog->Item(77)->toolTip(), QString());
    EXPECT_EQ(dialog->Item(ui::LABEL_ID)->toolTip(), QString()) << "Message Id fits";
}

}  // namespace
