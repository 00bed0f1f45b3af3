// The desk host's tests run on Qt's offscreen platform: no display needed.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "ui/qt/display_probe.h"

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says so for every window it shows.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("does not support propagateSizeHints"))) {
        qtHandler(type, context, text);
    }
}

// "--probe-display=MS": the display probe in a process without a
// QApplication of its own, as the program runs it; prints the reason and
// exits 1 when the display does not answer.
int ProbeDisplay(const char* deadline) {
    std::string why;
    if (ui::DisplayAnswers(why, std::atoi(deadline))) {
        return 0;
    }
    std::printf("%s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view probeOption = "--probe-display=";
    if (argc == 2 && std::string_view(argv[1]).starts_with(probeOption)) {
        return ProbeDisplay(argv[1] + probeOption.size());
    }
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
