#include "ui/qt/display_probe.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "run_command.h"

namespace {

using ::testing::HasSubstr;

// The probe runs in a fresh process of this test program: this one already
// has its QApplication, as a program that probed would.
CommandResult Probe(const std::string& environment, int deadlineMilliseconds) {
    return RunCommand("env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE " +
                      environment + " " VELK_BINARY_DIR "/tests/velk-tests-ui-qt --probe-display=" +
                      std::to_string(deadlineMilliseconds));
}

TEST(DisplayProbe, OnlyAPlatformThatStartsCountsAsADisplay) {
    struct Case {
        const char* environment;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {"QT_QPA_PLATFORM=offscreen DISPLAY=:4711", 0, ""},
        {"DISPLAY=:4711", 1,
         "the display could not be opened for the message dialog (could not connect to display "
         ":4711)"},
        {"QT_QPA_PLATFORM=xcb DISPLAY=:4711", 1, "could not connect to display :4711"},
        {"QT_QPA_PLATFORM='xcb;offscreen' DISPLAY=:4711", 0, ""},
    };
    for (const Case& c : cases) {
        CommandResult result = Probe(c.environment, 10000);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.environment << ": " << result.output;
        EXPECT_THAT(result.output, HasSubstr(c.says)) << c.environment;
    }
}

// An X server that takes the connection and never answers: the probe gives
// up at its deadline instead of waiting with the process.
TEST(DisplayProbe, ADisplayThatNeverAnswersIsGivenUpAtTheDeadline) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    // X display n listens on TCP port 6000 + n.
    int display = ntohs(address.sin_port) - 6000;
    if (display < 0) {
        close(listener);
        GTEST_SKIP() << "the port handed out is below 6000";
    }
    CommandResult result = Probe("DISPLAY=127.0.0.1:" + std::to_string(display), 1000);
    close(listener);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_THAT(result.output, HasSubstr("the display did not answer within 1 s"));
}

}  // namespace
