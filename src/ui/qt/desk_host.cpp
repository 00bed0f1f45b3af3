#include "ui/desk_host.h"

#include <QApplication>
#include <cstdlib>

#include "ui/qt/display_check.h"
#include "ui/qt/display_probe.h"
#include "ui/qt/qt_ui_host.h"
#include "ui/standard_error.h"

namespace ui {

namespace {

// QApplication keeps references to its argument count and vector for its
// whole life. It gets the program name only: the command line belongs to
// the responder, and Qt options in it must not shift its arguments.
char defaultProgramName[] = "velk-tester";
int qtArgc = 1;
char* qtArgv[2] = {defaultProgramName, nullptr};

// Both live until the process ends.
QApplication* application = nullptr;
QtUiHost* deskHost = nullptr;

QtMessageHandler previousHandler = nullptr;

// Qt reports a display it cannot open as a fatal error and aborts. The probe
// has just seen the display answer, so this is a display lost in the moment
// between: say what to do instead and end the process plainly.
void ExitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (previousHandler != nullptr) {
            previousHandler(type, context, text);
        }
        return;
    }
    SayOnStandardError(
        "the display could not be opened for the message dialog.\n"
        "Run it at a desktop, or unattended with an operator script named by OPERATOR_SCRIPT.");
    std::_Exit(1);
}

}  // namespace

void SetDeskArguments(int argc, char** argv) {
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        qtArgv[0] = argv[0];
    }
}

UiHost* OpenDeskHost(std::string& why) {
    // A display found wanting is not tried again: each try of one that never
    // answers costs the probe's whole deadline.
    static std::string absent;
    if (deskHost != nullptr) {
        return deskHost;
    }
    if (!absent.empty()) {
        why = absent;
        return nullptr;
    }
    if (QApplication::instance() == nullptr) {
        if (!HasDisplay(why) || !DisplayAnswers(why)) {
            absent = why;
            return nullptr;
        }
        previousHandler = qInstallMessageHandler(ExitOnFatal);
        application = new QApplication(qtArgc, qtArgv);
        qInstallMessageHandler(previousHandler);
        // Dialogs come and go between messages; no window's closing ends
        // anything.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    deskHost = new QtUiHost;
    return deskHost;
}

}  // namespace ui
