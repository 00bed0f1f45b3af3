// The real velk-tester answering a controller of each framing, driven by
// velkctl send, and a TPDU sent back swapped over a plain socket.

#include <gtest/gtest.h>

#include <string>

#include "responder_process.h"
#include "run_command.h"
#include "vksoc/port/framed_link_fixture.h"

namespace {

using ::testing::HasSubstr;

constexpr const char* kEchoScript =
    "on 0=0800\n"
    "  set 0 0810\n"
    "  set 39 00\n"
    "  respond\n";

class FramedResponderE2E : public FramedLinkTest {
  protected:
    CommandResult Velkctl(const std::string& arguments) {
        return RunCommand("cd '" + (root_.root() / "work").string() +
                          "' && " VELK_BINARY_DIR "/velkctl " + arguments);
    }
    std::string Script() {
        const auto path = root_.root() / "echo.script";
        FILE* file = std::fopen(path.string().c_str(), "w");
        std::fputs(kEchoScript, file);
        std::fclose(file);
        return path.string();
    }
};

TEST_F(FramedResponderE2E, EachFramingIsAnsweredAndDrivenByVelkctlSend) {
    const std::string script = Script();
    ForEachFramed([&](const char* id) {
        const int port = FreePort();
        ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", script}, {"HEADER_LENGTH", "4"}});
        responder.Start(id, std::to_string(port));
        // No probe connection first: a connect made while the responder ends
        // the probe's connection can be reset. A refused connect (not yet
        // listening) is tried again.
        CommandResult run;
        for (int attempt = 0; attempt < 400; ++attempt) {
            run = Velkctl(std::string("send ") + id + " 127.0.0.1 " + std::to_string(port) +
                          " 0=0800 7=1209120000 11=000123 70=301 --timeout 5");
            if (run.output.find("No program running") == std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        EXPECT_EQ(run.exitCode, 0) << id << "\n" << run.output << root_.LogText();
        EXPECT_THAT(run.output, HasSubstr("0 Message Id: 0810\n")) << id;
        EXPECT_THAT(run.output, HasSubstr("39 RESP_CODE: 00\n")) << id;
        responder.Stop();
    });
}

TEST_F(FramedResponderE2E, TheResponderSendsTheRequestsTpduBackSwapped) {
    Load({"TPD"});
    const int port = FreePort();
    ResponderProcess responder(root_, {{"OPERATOR_SCRIPT", Script()}});
    responder.Start("TPD", std::to_string(port));
    const int fd = ConnectWhenListening(port, 10);
    ASSERT_GE(fd, 0);
    const std::string message = EchoTest0800("TPD");
    SendAll(fd, std::string("\x00\x2C\x60\x00\x07\x00\x09", 7) + message);
    const std::string answer = ReceiveBytes(fd, 2 + 5 + 41);
    ASSERT_EQ(answer.size(), 48u) << root_.LogText();
    EXPECT_EQ(answer.substr(0, 7), std::string("\x00\x2E\x60\x00\x09\x00\x07", 7));
    EXPECT_EQ(answer.substr(7, 4), "0810");
    ClosePeer(fd);
    responder.Stop();
}

}  // namespace
