#include "ui/qt/display_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QByteArray>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

#include <string_view>

namespace ui {

namespace {

// The child's write end of the pipe to the parent.
int reportFd = -1;
// What the child writes once the platform has started. The parent decides by
// it rather than by the exit status, which a SIGCHLD set to be ignored
// would take away.
constexpr char STARTED = '\x01';

void Report(const QByteArray& line) {
    qsizetype written = 0;
    while (written < line.size()) {
        ssize_t n = ::write(reportFd, line.constData() + written,
                            static_cast<size_t>(line.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += n;
    }
}

// In the child: every message of the toolkit goes to the parent, first line
// only; a fatal one ends the child at once, before the toolkit aborts it.
void ReportToParent(QtMsgType type, const QMessageLogContext&, const QString& text) {
    Report(text.section(QLatin1Char('\n'), 0, 0).toLocal8Bit() + '\n');
    if (type == QtFatalMsg) {
        _exit(1);
    }
}

[[noreturn]] void ProbeInChild(int writeFd) {
    reportFd = writeFd;
    qInstallMessageHandler(ReportToParent);
    static char name[] = "velk-tester";
    static int argc = 1;
    static char* argv[] = {name, nullptr};
    // Left undestroyed: the child ends here either way.
    new QApplication(argc, argv);
    Report(QByteArray(1, STARTED));
    _exit(0);
}

// Reads what the child reports until it closes the pipe or the deadline
// passes; false at the deadline.
bool ReadReport(int readFd, std::string& report, int deadlineMilliseconds) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMilliseconds);
    char buffer[512];
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wait{readFd, POLLIN, 0};
        int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        ssize_t n = ::read(readFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return true;
        }
        std::string_view chunk(buffer, static_cast<size_t>(n));
        if (report.size() < 4096) {
            report.append(chunk);
        } else if (chunk.find(STARTED) != std::string_view::npos) {
            report.push_back(STARTED);
        }
    }
}

void WaitForChild(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

bool DisplayAnswers(std::string& why, int deadlineMilliseconds) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        why = "the display could not be tried (no pipe to a child process)";
        return false;
    }
    // Output buffered now would be written twice, once by the child.
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ProbeInChild(fds[1]);
    }
    ::close(fds[1]);
    if (child < 0) {
        ::close(fds[0]);
        why = "the display could not be tried (no child process)";
        return false;
    }
    std::string report;
    bool finished = ReadReport(fds[0], report, deadlineMilliseconds);
    ::close(fds[0]);
    if (!finished) {
        ::kill(child, SIGKILL);
        WaitForChild(child);
        char text[64];
        std::snprintf(text, sizeof text, "the display did not answer within %g s",
                      deadlineMilliseconds / 1000.0);
        why = text;
        return false;
    }
    WaitForChild(child);
    if (report.find(STARTED) != std::string::npos) {
        return true;
    }
    // The first complaint names the cause ("could not connect to display
    // :4711"); the last one is the toolkit's general verdict.
    std::string first = report.substr(0, report.find('\n'));
    why = "the display could not be opened for the message dialog";
    if (!first.empty()) {
        why += " (" + first + ")";
    }
    return false;
}

}  // namespace ui
