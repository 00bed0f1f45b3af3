// The responder on a TLS port, end to end: answered through velkctl and an
// independent client, and every way a TLS connection fails ending in one
// record while the responder listens again (one connection at a time) or
// keeps serving the others (VELK_PEERS).

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tls_fixture.h"

namespace {

using ::testing::HasSubstr;

// How many records a piece of the error log holds.
int Records(const std::string& log) {
    int count = 0;
    for (size_t at = log.find("#####"); at != std::string::npos;
         at = log.find("#####", log.find('\n', at))) {
        ++count;
    }
    return count;
}

// What a client does (a tls_client.py action, or velkctl send --tls with
// options when the action is null), what the responder's one record for it
// says, and what the client is told (null: not looked at).
struct Failure {
    const char* action;
    std::string options;
    const char* record;
    const char* clientSays;
};

// Both ways of serving: one connection at a time, and several at once.
class TlsServingTest : public TlsTest, public ::testing::WithParamInterface<const char*> {
  protected:
    void StartServing(std::map<std::string, std::string> environment = {}) {
        environment["VELK_PEERS"] = GetParam();
        Start(std::move(environment));
        seen_ = root_.LogText().size();
    }

    // The records written since the last look.
    std::string NewRecords(int count) {
        WaitForRecords(Records(root_.LogText().substr(0, seen_)) + count);
        const std::string log = root_.LogText();
        std::string fresh = log.substr(seen_);
        seen_ = log.size();
        return fresh;
    }

    // The responder still answers a well-behaved client (whose close is a
    // record of its own).
    void ExpectAnswered(const std::string& after) {
        CommandResult run = Python("answer", clientOptions_);
        EXPECT_EQ(run.output, kResponseHex + "\n") << after;
        EXPECT_THAT(NewRecords(1), HasSubstr("ReadPort: Connection closed by peer")) << after;
    }

    void ExpectFailures(const std::vector<Failure>& failures) {
        for (const Failure& f : failures) {
            const std::string name = f.action != nullptr ? f.action : "velkctl " + f.options;
            CommandResult run =
                f.action != nullptr ? Python(f.action, f.options) : Velkctl(f.options);
            const std::string fresh = NewRecords(1);
            EXPECT_THAT(fresh, HasSubstr(f.record)) << name << "\n" << run.output;
            if (f.clientSays != nullptr) {
                EXPECT_THAT(run.output, HasSubstr(f.clientSays)) << name;
            }
            // One record only, then the port serves again.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(Records(fresh + NewRecords(0)), 1) << name << "\n" << fresh;
            ExpectAnswered(name);
        }
    }

    size_t seen_ = 0;
    std::string clientOptions_;  // what a well-behaved client adds
};

std::string ModeName(const ::testing::TestParamInfo<const char*>& mode) {
    return std::string(mode.param) == "1" ? "OneAtATime" : "Several";
}

INSTANTIATE_TEST_SUITE_P(Peers, TlsServingTest, ::testing::Values("1", "3"), ModeName);

TEST_P(TlsServingTest, VelkctlAndAnIndependentClientAreAnswered) {
    const std::string responderKeys = root_.root().string() + "/responder.keys";
    const std::string velkctlKeys = root_.root().string() + "/velkctl.keys";
    StartServing({{"SSLKEYLOGFILE", responderKeys}});
    CommandResult sent = Velkctl("--ca " + Cert("ca.pem"), "SSLKEYLOGFILE=" + velkctlKeys);
    EXPECT_EQ(sent.exitCode, 0) << sent.output;
    EXPECT_THAT(sent.output, HasSubstr("0 Message Id: 0810"));
    EXPECT_THAT(sent.output, HasSubstr("70 Network Management Information Code: 301"));
    ExpectAnswered("python");
    EXPECT_EQ(Python("version").output, "TLSv1.3\n");
    // A 1.2 client is served under the default minimum.
    EXPECT_EQ(Python("version", "--max-version 1.2").output, "TLSv1.2\n");
    // Both programs log the secrets of their sessions.
    EXPECT_THAT(ReadFile(responderKeys), HasSubstr("CLIENT_HANDSHAKE_TRAFFIC_SECRET"));
    EXPECT_THAT(ReadFile(responderKeys), HasSubstr("CLIENT_RANDOM"));
    EXPECT_THAT(ReadFile(velkctlKeys), HasSubstr("SERVER_TRAFFIC_SECRET_0"));
    // --insecure takes a certificate nothing vouches for.
    EXPECT_EQ(Velkctl("--insecure").exitCode, 0);
}

TEST_P(TlsServingTest, MessagesInOneRecordBehindALengthPrefixAreAllAnswered) {
    // The prefix is read apart from the body: the rest of the record waits
    // decrypted in the session, where a wait on the socket does not see it.
    StartServing({{"HEADER_LENGTH", "4"}});
    const std::string framed = "30303233" + kRequestHex;  // "0023" and the request
    const std::string framedResponse = "30303235" + kResponseHex;
    CommandResult run = Python("answer", "--request " + framed + framed + framed + " --expect 87");
    EXPECT_EQ(run.output, framedResponse + framedResponse + framedResponse + "\n");
    CommandResult counted = Velkctl("--ca " + Cert("ca.pem") + " --count 200", "HEADER_LENGTH=4");
    EXPECT_EQ(counted.exitCode, 0) << counted.output;
    EXPECT_THAT(counted.output, HasSubstr("answered: 200"));
}

TEST_P(TlsServingTest, EachFailedConnectionEndsInItsRecordAndThePortServesOn) {
    StartServing();
    const std::string ca = "--ca " + Cert("ca.pem");
    ExpectFailures({
        {"plain", "", "TLS handshake failed: wrong version number", nullptr},
        {"stall", "--bytes 10", "TLS handshake not complete within 1000 ms", nullptr},
        {"stall", "--bytes 0", "TLS handshake not complete within 1000 ms", nullptr},
        {nullptr, "--ca " + Cert("rogue-ca.pem"), "TLS handshake failed: tlsv1 alert unknown ca",
         "certificate verify failed: unable to get local issuer certificate"},
        {nullptr, ca + " --servername wrong.example",
         "TLS handshake failed: ", "certificate verify failed: hostname mismatch"},
        // Hostile peers once the handshake is done.
        {"garbage", "", "ReadPort: TLS: decryption failed or bad record mac", nullptr},
        {"eof", "", "ReadPort: TLS: unexpected eof while reading", nullptr},
        {"notify", "", "ReadPort: Socket closed before full message", nullptr},
    });
    // Every byte of the client's handshake in a segment of its own.
    CommandResult split = Python("split");
    EXPECT_EQ(split.output, kResponseHex + "\n");
}

TEST_P(TlsServingTest, CertificatesTheClientRefusesEndInTheirRecord) {
    // The responder's certificate expired, or names another host.
    clientOptions_ = "--insecure";
    StartServing({{"VELK_TLS_CERT", Cert("expired.pem")}, {"VELK_TLS_KEY", Cert("expired.key")}});
    ExpectFailures({{nullptr, "--ca " + Cert("ca.pem"),
                     "TLS handshake failed: sslv3 alert certificate expired",
                     "certificate verify failed: certificate has expired"}});
    responder_.reset();
    StartServing(
        {{"VELK_TLS_CERT", Cert("wrong-name.pem")}, {"VELK_TLS_KEY", Cert("wrong-name.key")}});
    CommandResult run = Velkctl("--ca " + Cert("ca.pem"));
    EXPECT_THAT(run.output, HasSubstr("certificate verify failed: IP address mismatch"));
    EXPECT_THAT(NewRecords(1), HasSubstr("TLS handshake failed: "));
    EXPECT_EQ(Velkctl("--ca " + Cert("ca.pem") + " --servername wrong.example").exitCode, 0);
}

TEST_P(TlsServingTest, ClientCertificatesAreRequiredUnderACa) {
    StartServing({{"VELK_TLS_CA", Cert("ca.pem")}});
    const std::string ca = "--ca " + Cert("ca.pem");
    clientOptions_ = "--cert " + Cert("client.pem") + " --key " + Cert("client.key");
    CommandResult accepted =
        Velkctl(ca + " --cert " + Cert("client.pem") + " --key " + Cert("client.key"));
    EXPECT_EQ(accepted.exitCode, 0) << accepted.output;
    EXPECT_THAT(NewRecords(1), HasSubstr("ReadPort: Connection closed by peer"));
    ExpectFailures({
        // The client's side of a 1.3 handshake is done before the server
        // has seen its certificate: it learns of the refusal as the alert
        // or a reset, whichever its next call meets first.
        {nullptr, ca, "TLS handshake failed: peer did not return a certificate", nullptr},
        {nullptr, ca + " --cert " + Cert("rogue.pem") + " --key " + Cert("rogue.key"),
         "TLS handshake failed: certificate verify failed: unable to get local issuer "
         "certificate",
         nullptr},
    });
}

TEST_P(TlsServingTest, AVersionBelowTheMinimumIsRefused) {
    StartServing({{"VELK_TLS_MIN_VERSION", "1.3"}});
    ExpectFailures(
        {{"version", "--max-version 1.2", "TLS handshake failed: unsupported protocol", nullptr}});
}

}  // namespace
