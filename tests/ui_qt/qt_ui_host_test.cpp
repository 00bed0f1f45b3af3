#include "ui/qt/qt_ui_host.h"

#include <fcntl.h>
#include <QMessageBox>
#include <QTest>

#include "desk_fixture.h"
#include "ui/desk_host.h"
#include "ui/dialog_template.h"
#include "ui/field_rows.h"
#include "ui/qt/display_check.h"
#include "ui/responder_state.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"

namespace {

using QtUiHost = DeskFixture;

void Retype(QWidget* box, const char* text) {
    auto* edit = qobject_cast<QLineEdit*>(box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

// The person at the desk answers a 0200 by typing 0210 and 00, clearing the
// amount, and pressing Respond: the peer receives the assembled response.
TEST_F(QtUiHost, RespondSendsWhatWasTypedAndEndsTheDialog) {
    Put(0, "0200");
    Put(3, "000000");
    Put(4, "000000010000");
    std::string peer = (root_.root() / "peer.bin").string();
    exchange_.port = OpenPort(peer.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 'F', "C01");
    ASSERT_GE(exchange_.port, 0);
    OnNextModal([](QWidget& widget) {
        auto* dialog = qobject_cast<ui::QtDialogHost*>(&widget);
        ASSERT_NE(dialog, nullptr);
        Retype(dialog->Item(1000), "0210");
        Retype(dialog->Item(1004), "");
        Retype(dialog->Item(1039), "00");
        qobject_cast<QPushButton*>(dialog->Item(ui::IDOK))->click();
    });
    EXPECT_EQ(RunDialog(), 1);
    ClosePort(exchange_.port);
    EXPECT_EQ(ReadFile(peer), std::string("0210\x20\0\0\0\x02\0\0\0"
                                          "000000"
                                          "00",
                                          20));
}

TEST_F(QtUiHost, EscapeEndsTheDialogWithOne) {
    OnNextModal([](QWidget& dialog) { QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(RunDialog(), 1);
    EXPECT_EQ(calls.back().wParam, ui::MakeWParam(ui::IDCANCEL, 0));
}

TEST_F(QtUiHost, ATemplateItCannotReadShowsNothing) {
    ui::QtUiHost host;
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE] = {};
    int size = ui::FillDialogTemplate(block);
    EXPECT_EQ(host.RunDialog(block, 17, RecordingProc, &exchange_), -1);
    // The title's terminator cut off.
    EXPECT_EQ(host.RunDialog(block, size - 4, RecordingProc, &exchange_), -1);
    EXPECT_EQ(host.RunDialog(nullptr, size, RecordingProc, &exchange_), -1);
    EXPECT_TRUE(calls.empty());
}

// Boxes of the program as a whole and of an open dialog look alike.
TEST_F(QtUiHost, MessageBoxesHaveTheTitleOneOkButtonAndTheIconAskedFor) {
    struct Box {
        unsigned icon;
        QMessageBox::Icon shown;
    };
    const Box boxes[] = {{ui::MB_NOICON, QMessageBox::NoIcon},
                         {ui::MB_ICONERROR, QMessageBox::Critical}};
    auto dialog = Open();
    ui::QtUiHost host;
    for (const Box& box : boxes) {
        for (ui::DialogHost* owner :
             {static_cast<ui::DialogHost*>(dialog.get()), static_cast<ui::DialogHost*>(nullptr)}) {
            bool answered = false;
            OnNextModal([&](QWidget& widget) {
                auto* shown = qobject_cast<QMessageBox*>(&widget);
                ASSERT_NE(shown, nullptr);
                EXPECT_EQ(shown->windowTitle(), QStringLiteral("VELK Tester"));
                EXPECT_EQ(shown->text(), QStringLiteral("Could not <open>"));
                EXPECT_EQ(shown->textFormat(), Qt::PlainText);
                EXPECT_EQ(shown->icon(), box.shown);
                EXPECT_EQ(shown->parentWidget(), nullptr);
                // A short text must not cut the title: it needs its own
                // width and room for the title bar's buttons beside it.
                EXPECT_GE(shown->width(),
                          shown->fontMetrics().horizontalAdvance(shown->windowTitle()) + 100);
                ASSERT_EQ(shown->buttons().size(), 1);
                EXPECT_EQ(shown->standardButton(shown->buttons().first()), QMessageBox::Ok);
                shown->buttons().first()->click();
                answered = true;
            });
            if (owner != nullptr) {
                owner->ShowMessageBox("Could not <open>", box.icon);
            } else {
                host.ShowMessageBox("Could not <open>", box.icon);
            }
            EXPECT_TRUE(answered);
        }
    }
}

TEST_F(QtUiHost, TheMissingMessageIdIsReportedAndTheDialogStaysOpen) {
    Put(0, "0200");
    auto dialog = Open();
    Retype(dialog->Item(1000), "");
    std::string text;
    OnNextModal([&](QWidget& widget) {
        text = qobject_cast<QMessageBox*>(&widget)->text().toStdString();
        QTest::keyClick(&widget, Qt::Key_Return);
    });
    Button(*dialog, ui::IDOK)->click();
    EXPECT_EQ(text, "Message Id is mandatory");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(QtUiHost, TheDeskHostIsOpenedOnce) {
    std::string why;
    ui::UiHost* first = ui::OpenDeskHost(why);
    ASSERT_NE(first, nullptr) << why;
    EXPECT_EQ(ui::OpenDeskHost(why), first);
}

TEST(DisplayCheck, QtIsStartedOnlyWhereItFindsADisplay) {
    struct Case {
        const char* platform;
        const char* display;
        const char* wayland;
        const char* why;  // null: a display is expected
    };
    const Case cases[] = {
        {nullptr, ":0", nullptr, nullptr},
        {nullptr, nullptr, "wayland-0", nullptr},
        {"", "", "", "(DISPLAY and WAYLAND_DISPLAY are unset)"},
        {"offscreen", nullptr, nullptr, nullptr},
        {"xcb", ":0", nullptr, nullptr},
        {"xcb:nograb", nullptr, "wayland-0",
         "(QT_QPA_PLATFORM is \"xcb:nograb\" but DISPLAY is unset)"},
        {"wayland-egl", ":0", nullptr,
         "(QT_QPA_PLATFORM is \"wayland-egl\" but WAYLAND_DISPLAY is unset)"},
        {"wayland;xcb", nullptr, nullptr,
         "(QT_QPA_PLATFORM is \"wayland;xcb\" but WAYLAND_DISPLAY and DISPLAY are unset)"},
        {"wayland;xcb", ":1", nullptr, nullptr},
        {"wayland;vnc", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        auto value = [](const char* text) {
            return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
        };
        ScopedEnv platform("QT_QPA_PLATFORM", value(c.platform));
        ScopedEnv display("DISPLAY", value(c.display));
        ScopedEnv wayland("WAYLAND_DISPLAY", value(c.wayland));
        std::string why;
        bool found = ui::HasDisplay(why);
        EXPECT_EQ(found, c.why == nullptr) << (c.platform ? c.platform : "unset");
        if (c.why != nullptr) {
            EXPECT_EQ(why, std::string("no display to show the message dialog on ") + c.why);
        }
    }
}

}  // namespace
