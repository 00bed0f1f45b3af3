#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <filesystem>

#include "desk_fixture.h"
#include "ui/field_rows.h"
#include "ui/responder_state.h"

namespace {

using MessageDataFileDialog = DeskFixture;

// Types the name into the file dialog and presses Save or Open; returns with
// the file dialog closed, or still open when it refused the name.
void Choose(QWidget& widget, const std::string& name) {
    auto* dialog = qobject_cast<QFileDialog*>(&widget);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList(QStringLiteral("Message Data (*.dat)")));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("dat"));
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromLocal8Bit(name.c_str()));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    bool saving = dialog->acceptMode() == QFileDialog::AcceptSave;
    buttons->button(saving ? QDialogButtonBox::Save : QDialogButtonBox::Open)->click();
}

// Answers the question the file dialog asks next, and keeps its text.
void Answer(QMessageBox::StandardButton button, std::string* text = nullptr) {
    OnNextModal([button, text](QWidget& widget) {
        auto* box = qobject_cast<QMessageBox*>(&widget);
        ASSERT_NE(box, nullptr);
        if (text != nullptr) {
            *text = box->text().toStdString();
        }
        box->button(button)->click();
    });
}

void Retype(ui::QtDialogHost& dialog, int id, const char* text) {
    auto* edit = qobject_cast<QLineEdit*>(dialog.Item(id));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

std::string BoxText(ui::QtDialogHost& dialog, int id) {
    char text[ui::FIELD_VALUE_SIZE];
    dialog.GetItemText(id, text, sizeof text);
    return text;
}

// Save asks to create the new file (the suffix is added to the typed name)
// and then to replace it; Read brings the saved values back into the boxes.
TEST_F(MessageDataFileDialog, SaveAndReadGoThroughTheFileDialog) {
    Put(0, "0200");
    Put(3, "000000");
    auto dialog = Open();
    Retype(*dialog, 1000, "0210");
    Retype(*dialog, 1039, "00");
    const std::string typed = (root_.root() / "answer").string();
    const std::string saved = typed + ".dat";
    const std::string message(
        "0210\x20\0\0\0\x02\0\0\0"
        "000000"
        "00",
        20);

    std::string question;
    OnNextModal([&](QWidget& files) {
        Answer(QMessageBox::Yes, &question);
        Choose(files, typed);
    });
    Button(*dialog, ui::SAVE_BUTTON_ID)->click();
    EXPECT_EQ(question, "answer.dat does not exist.\nDo you want to create it?");
    EXPECT_EQ(ReadFile(saved), message);

    Retype(*dialog, 1039, "05");
    OnNextModal([&](QWidget& files) {
        Answer(QMessageBox::Yes, &question);
        Choose(files, saved);
    });
    Button(*dialog, ui::SAVE_BUTTON_ID)->click();
    EXPECT_NE(question.find("already exists"), std::string::npos) << question;
    EXPECT_EQ(ReadFile(saved), std::string("0210\x20\0\0\0\x02\0\0\0"
                                           "000000"
                                           "05",
                                           20));

    WriteFile(saved, message);
    Retype(*dialog, 1000, "0430");
    Retype(*dialog, 1003, "");
    OnNextModal([&](QWidget& files) { Choose(files, saved); });
    Button(*dialog, ui::READ_BUTTON_ID)->click();
    EXPECT_EQ(BoxText(*dialog, 1000), "0210");
    EXPECT_EQ(BoxText(*dialog, 1003), "000000");
    EXPECT_EQ(BoxText(*dialog, 1039), "00");
    EXPECT_TRUE(dialog->isVisible());
}

QString Canonical(const QString& folder) {
    return QFileInfo(folder).canonicalFilePath();
}

// The chooser opens in ../data first and then in the folder last used. A new
// name is saved with Enter on the question, whose default is Yes.
TEST_F(MessageDataFileDialog, TheChooserStartsInTheDataFolderThenTheLastOne) {
    Put(0, "0200");
    auto dialog = Open();
    std::filesystem::create_directory(root_.root() / "answers");
    const std::string typed = (root_.root() / "answers" / "new.dat").string();
    QString firstFolder;
    bool yesIsDefault = false;
    OnNextModal([&](QWidget& files) {
        firstFolder = qobject_cast<QFileDialog*>(&files)->directory().absolutePath();
        OnNextModal([&](QWidget& widget) {
            auto* box = qobject_cast<QMessageBox*>(&widget);
            ASSERT_NE(box, nullptr);
            yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
            QTest::keyClick(box, Qt::Key_Return);
        });
        Choose(files, typed);
    });
    Button(*dialog, ui::SAVE_BUTTON_ID)->click();
    EXPECT_EQ(Canonical(firstFolder), Canonical(QString::fromStdString(root_.data().string())));
    EXPECT_TRUE(yesIsDefault);
    EXPECT_TRUE(std::filesystem::exists(typed));

    QString nextFolder;
    OnNextModal([&](QWidget& files) {
        nextFolder = qobject_cast<QFileDialog*>(&files)->directory().absolutePath();
        qobject_cast<QDialog*>(&files)->reject();
    });
    Button(*dialog, ui::READ_BUTTON_ID)->click();
    EXPECT_EQ(Canonical(nextFolder),
              Canonical(QString::fromStdString((root_.root() / "answers").string())));
}

// The file dialog refuses these names and stays open; cancelling it then
// leaves the disk and the boxes as they were.
TEST_F(MessageDataFileDialog, RefusedNamesKeepTheFileDialogOpen) {
    struct Refusal {
        const char* what;
        int command;
        std::string name;
        QMessageBox::StandardButton answer;
        const char* told;  // null: the dialog's button is disabled for the name
    };
    const std::string dir = root_.root().string() + "/";
    const Refusal refusals[] = {
        {"creating declined", ui::SAVE_BUTTON_ID, dir + "new.dat", QMessageBox::No,
         "does not exist"},
        {"a path over 260 characters", ui::SAVE_BUTTON_ID, dir + std::string(250, 'a') + ".dat",
         QMessageBox::Ok, "longer than 260 characters"},
        {"a folder that does not exist", ui::SAVE_BUTTON_ID, dir + "none/new.dat", QMessageBox::Ok,
         "folder does not exist"},
        {"reading a file that does not exist", ui::READ_BUTTON_ID, dir + "missing.dat",
         QMessageBox::Ok, nullptr},
    };
    Put(0, "0200");
    auto dialog = Open();
    for (const Refusal& refusal : refusals) {
        std::string told;
        bool stayedOpen = false;
        OnNextModal([&](QWidget& files) {
            if (refusal.told != nullptr) {
                Answer(refusal.answer, &told);
            }
            Choose(files, refusal.name);
            stayedOpen = files.isVisible();
            qobject_cast<QDialog*>(&files)->reject();
        });
        Button(*dialog, refusal.command)->click();
        EXPECT_TRUE(stayedOpen) << refusal.what;
        if (refusal.told != nullptr) {
            EXPECT_NE(told.find(refusal.told), std::string::npos) << refusal.what << ": " << told;
        }
        EXPECT_FALSE(std::filesystem::exists(refusal.name)) << refusal.what;
        EXPECT_EQ(BoxText(*dialog, 1000), "0200") << refusal.what;
    }
}

}  // namespace
