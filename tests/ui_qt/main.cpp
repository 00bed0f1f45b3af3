// The desk host's tests run on Qt's offscreen platform: no display needed.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says so for every window it shows.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("does not support propagateSizeHints"))) {
        qtHandler(type, context, text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string runtimeDir =
        (std::filesystem::temp_directory_path() / "velk-ui-qt-XXXXXX").string();
    if (mkdtemp(runtimeDir.data()) == nullptr) {
        return 2;
    }
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    int result = 0;
    qtHandler = qInstallMessageHandler(QuietOffscreenNotes);
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtimeDir, ignored);
    return result;
}
