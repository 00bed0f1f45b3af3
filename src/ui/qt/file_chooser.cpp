#include "ui/qt/file_chooser.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstring>

#include "ui/dialog_host.h"

namespace ui {

namespace {

QByteArray EncodedPath(const QString& path) {
    return QFile::encodeName(path);
}

class MessageDataFileDialog : public QFileDialog {
  public:
    MessageDataFileDialog(QWidget* owner, bool forSave) : QFileDialog(owner) {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(forSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(forSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        setNameFilter(QStringLiteral("Message Data (*.dat)"));
        setDefaultSuffix(QStringLiteral("dat"));
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
            QMessageBox::warning(this, windowTitle(),
                                 tr("%1\nThe path is longer than %2 characters.")
                                     .arg(file.absoluteFilePath())
                                     .arg(FILE_NAME_SIZE - 1));
            return;
        }
        if (acceptMode() == QFileDialog::AcceptSave && !file.exists()) {
            if (!file.absoluteDir().exists()) {
                QMessageBox::warning(this, windowTitle(),
                                     tr("%1\nThe folder does not exist.").arg(file.absolutePath()));
                return;
            }
            QMessageBox::StandardButton answer = QMessageBox::question(
                this, windowTitle(),
                tr("%1 does not exist.\nDo you want to create it?").arg(file.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
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
    QByteArray path = EncodedPath(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
    if (path.isEmpty() || path.size() > FILE_NAME_SIZE - 1) {
        return false;
    }
    std::memcpy(fileName, path.constData(), static_cast<size_t>(path.size()));
    fileName[path.size()] = '\0';
    return true;
}

}  // namespace ui
