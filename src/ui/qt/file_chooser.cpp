#include "ui/qt/file_chooser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>

#include "ui/dialog_host.h"
#include "ui/qt/message_box.h"

namespace ui {

namespace {

// Where data files live when the program runs from its build or bin folder.
constexpr const char* DATA_FOLDER = "../data";

// The folder of the last file chosen, for as long as the program runs.
QString lastFolder;

QByteArray EncodedPath(const QString& path) {
    return QFile::encodeName(path);
}

// The folder last used; before any, the data folder beside the working
// directory, where it exists.
QString StartFolder() {
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir()) {
        return lastFolder;
    }
    QFileInfo data(QString::fromLatin1(DATA_FOLDER));
    return data.isDir() ? data.absoluteFilePath() : QDir::currentPath();
}

void Warn(QWidget* owner, const QString& text) {
    AskWithBox(owner, QMessageBox::Warning, owner->windowTitle(), text, QMessageBox::Ok,
               QMessageBox::Ok);
}

class MessageDataFileDialog : public QFileDialog {
  public:
    MessageDataFileDialog(QWidget* owner, bool forSave) : QFileDialog(owner) {
        setOption(QFileDialog::DontUseNativeDialog);
        // Asked below, in a box whose title shows whole.
        setOption(QFileDialog::DontConfirmOverwrite);
        setAcceptMode(forSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(forSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        setNameFilter(QStringLiteral("Message Data (*.dat)"));
        setDefaultSuffix(QStringLiteral("dat"));
        setDirectory(StartFolder());
    }

    // Runs before QFileDialog's own checks (a directory to enter, a file that
    // must exist, a file to replace); stays open when a question is declined.
    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() != 1) {
            QFileDialog::accept();
            return;
        }
        QFileInfo file(files.first());
        if (file.isDir()) {
            QFileDialog::accept();
            return;
        }
        if (EncodedPath(file.absoluteFilePath()).size() > FILE_NAME_SIZE - 1) {
            Warn(this, tr("%1\nThe path is longer than %2 characters.")
                           .arg(file.absoluteFilePath())
                           .arg(FILE_NAME_SIZE - 1));
            return;
        }
        if (acceptMode() == QFileDialog::AcceptSave && file.exists()) {
            QMessageBox::StandardButton answer = AskWithBox(
                this, QMessageBox::Warning, windowTitle(),
                tr("%1 already exists.\nDo you want to replace it?").arg(file.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes) {
                return;
            }
        }
        if (acceptMode() == QFileDialog::AcceptSave && !file.exists()) {
            if (!file.absoluteDir().exists()) {
                Warn(this, tr("%1\nThe folder does not exist.").arg(file.absolutePath()));
                return;
            }
            // Yes by default, as the Windows prompt: Enter twice after a new
            // name saves.
            QMessageBox::StandardButton answer =
                AskWithBox(this, QMessageBox::Question, windowTitle(),
                           tr("%1 does not exist.\nDo you want to create it?").arg(file.fileName()),
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            if (answer != QMessageBox::Yes) {
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

bool ChooseMessageDataFile(QWidget* owner, char* fileName, bool forSave) {
    fileName[0] = '\0';
    MessageDataFileDialog dialog(owner, forSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().size() != 1) {
        return false;
    }
    QFileInfo chosen(dialog.selectedFiles().first());
    QByteArray path = EncodedPath(chosen.absoluteFilePath());
    if (path.isEmpty() || path.size() > FILE_NAME_SIZE - 1) {
        return false;
    }
    lastFolder = chosen.absolutePath();
    std::memcpy(fileName, path.constData(), static_cast<size_t>(path.size()));
    fileName[path.size()] = '\0';
    return true;
}

}  // namespace ui
