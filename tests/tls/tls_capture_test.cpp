// A capture of a TLS exchange, decrypted with the key log SSLKEYLOGFILE
// wrote, is decoded by the dissector velkctl generates.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tls_fixture.h"

namespace {

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 100; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class TlsCaptureTest : public TlsTest {};

TEST_F(TlsCaptureTest, TsharkDecryptsWithTheKeyLogAndTheDissectorDecodes) {
    if (RunCommand("tshark --version").exitCode != 0) {
        GTEST_SKIP() << "tshark is not installed: the capture is not decoded";
    }
    if (geteuid() != 0 || RunCommand("dumpcap --version").exitCode != 0) {
        GTEST_SKIP() << "capturing on the loopback interface needs root and dumpcap";
    }
    const std::string keys = root_.root().string() + "/velkctl.keys";
    port_ = FreePort();
    const std::string port = std::to_string(port_);
    CommandResult started = RunCommand("dumpcap -i lo -f 'tcp port " + port +
                                       "' -w tls.pcapng >dumpcap.log 2>&1 & echo $!");
    const pid_t dumpcap = static_cast<pid_t>(std::stol(started.output));
    ASSERT_TRUE(WaitFor([] {
        return ReadFile("dumpcap.log").find("Capturing on") != std::string::npos;
    })) << ReadFile("dumpcap.log");
    responder_ = std::make_unique<ResponderProcess>(
        root_, std::map<std::string, std::string>{
                   {"OPERATOR_SCRIPT", VELK_SOURCE_DIR "/data/answer.script"},
                   {"VELK_TLS_CERT", Cert("server.pem")},
                   {"VELK_TLS_KEY", Cert("server.key")},
               });
    responder_->Start("C01", port);
    CommandResult sent;
    EXPECT_TRUE(WaitFor([&] {
        sent = Velkctl("--ca " + Cert("ca.pem"), "SSLKEYLOGFILE=" + keys);
        return sent.exitCode == 0;
    })) << sent.output;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(dumpcap, SIGINT);  // it writes out what it holds
    WaitFor([dumpcap] { return kill(dumpcap, 0) != 0; });

    ASSERT_EQ(RunVelkctl("dissector C01 -o velk.lua").exitCode, 0);
    CommandResult decoded =
        RunCommand("{ tshark -n -r tls.pcapng -o tls.keylog_file:" + keys +
                   " -X lua_script:velk.lua -o velk.tls_ports_c01:" + port +
                   " -Y velk -T fields -e velk.mti -e velk.f70 -e velk.f39 2>/dev/null; }");
    EXPECT_EQ(decoded.output, "0800\t301\t\n0810\t301\t00\n");
    // Without the keys the records stay sealed.
    CommandResult sealed = RunCommand(
        "{ tshark -n -r tls.pcapng -X lua_script:velk.lua -o velk.tls_ports_c01:" + port +
        " -Y velk -T fields -e velk.mti 2>/dev/null; }");
    EXPECT_EQ(sealed.output, "");
}

}  // namespace
