// A TLS port that cannot be set up stops the responder before it listens,
// with a message naming the variable or the file, and exit code 10.

#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "tls_fixture.h"

namespace {

using ::testing::HasSubstr;

class TlsStartUpTest : public TlsTest {};

TEST_F(TlsStartUpTest, ASetUpThatCannotWorkStopsWithTheFileNamed) {
    const std::string missing = Cert("missing.pem");
    struct Case {
        std::map<std::string, std::string> environment;
        std::string says;
    } const cases[] = {
        {{{"VELK_TLS_CERT", missing}},
         "cannot read certificate file " + missing + ": No such file or directory"},
        {{{"VELK_TLS_CERT", Cert("garbage.pem")}},
         "cannot read certificate file " + Cert("garbage.pem") + ": no start line"},
        {{{"VELK_TLS_KEY", Cert("garbage.pem")}},
         "cannot read key file " + Cert("garbage.pem") + ": "},
        {{{"VELK_TLS_KEY", missing}}, "cannot read key file " + missing},
        {{{"VELK_TLS_KEY", Cert("client.key")}},
         "key file " + Cert("client.key") + " does not match certificate file " +
             Cert("server.pem")},
        {{{"VELK_TLS_KEY", ""}},
         "VELK_TLS_CERT is set (" + Cert("server.pem") + "), but not VELK_TLS_KEY"},
        {{{"VELK_TLS_CERT", ""}},
         "VELK_TLS_KEY is set (" + Cert("server.key") + "), but not VELK_TLS_CERT"},
        {{{"VELK_TLS_CERT", ""}, {"VELK_TLS_KEY", ""}, {"VELK_TLS_CA", Cert("ca.pem")}},
         "VELK_TLS_CA is set, but a TLS port needs VELK_TLS_CERT and VELK_TLS_KEY"},
        {{{"VELK_TLS_MIN_VERSION", "1.1"}}, "VELK_TLS_MIN_VERSION must be 1.2 or 1.3 (got: 1.1)"},
        {{{"VELK_TLS_CA", missing}}, "cannot read CA file " + missing},
        {{{"SSLKEYLOGFILE", Cert("no/such/folder/keys")}},
         "cannot open key log file " + Cert("no/such/folder/keys")},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> environment = {
            {"OPERATOR_SCRIPT", VELK_SOURCE_DIR "/data/answer.script"},
            {"VELK_TLS_CERT", Cert("server.pem")},
            {"VELK_TLS_KEY", Cert("server.key")},
        };
        for (const auto& [name, value] : c.environment) {
            environment[name] = value;
        }
        ResponderProcess responder(root_, environment);
        responder.Start("C01", std::to_string(FreePort()));
        EXPECT_EQ(responder.Wait(10), EXIT_BAD_TLS) << c.says;
        EXPECT_THAT(responder.Stderr(), HasSubstr(c.says));
    }
}

}  // namespace
