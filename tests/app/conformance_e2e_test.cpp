// The conformance checks through the real responder: a controller whose
// fields are typed and whose requests have rules, a script that answers an
// invalid request with 39=30, velkctl send --force as the controller, and
// the JUnit report of the run read back.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config_text.h"
#include "responder_process.h"
#include "run_command.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

std::string Typed(int n, int maxLen, int lengthBytes, const std::string& type) {
    std::string text = FieldText(n, "Typed", maxLen, lengthBytes);
    std::string tag = "<FIELD_TYPE>";
    tag += type;
    tag += '\n';
    text.insert(text.rfind("</FIELD>"), tag);
    return text;
}

// T01: one variable field of each type, a 0200 rule with OPTIONAL and a
// 0100 rule without, beside the sample's controllers.
std::string TestConfig() {
    const std::string rules =
        "<MESSAGE_RULE_LIST>\n"
        "<MESSAGE_RULE>\n<MTI>0200\n<MANDATORY>3 4 11\n"
        "<OPTIONAL>2 28 35 39 40 41 42 43 44 46 47\n</MESSAGE_RULE>\n"
        "<MESSAGE_RULE>\n<MTI>0100\n<MANDATORY>2\n</MESSAGE_RULE>\n"
        "</MESSAGE_RULE_LIST>\n";
    const std::string fields =
        Typed(2, 19, 2, "n") + Typed(3, 6, 0, "n") + Typed(4, 12, 0, "n") + Typed(11, 6, 0, "n") +
        Typed(28, 9, 2, "xn") + Typed(35, 37, 2, "z") + Typed(39, 2, 0, "an") +
        Typed(40, 10, 2, "a") + Typed(41, 8, 0, "ans") + Typed(42, 10, 2, "an") +
        Typed(43, 10, 2, "ans") + Typed(44, 10, 2, "ns") + Typed(46, 10, 3, "as") +
        Typed(47, 10, 2, "b") + FieldText(48, "Untyped", 999, 3);
    const std::string controller = "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>T01\n" + rules +
                                   "<FIELD_SPEC_LIST>\n" + fields +
                                   "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n";
    std::string sample = ReadFile(kSampleConfig);
    sample.insert(sample.find("</CONTROLLER_PARAMS_LIST>"), controller);
    return sample;
}

constexpr const char* kScript = R"(on 0=0400
  expect 41=TERM*
  set 0 0410
  set 39 00
  respond
on invalid
  set 0 ${0:0:2}10
  set 39 30
  set 48 ${findings}
  respond
on *
  set 0 ${0:0:2}10
  set 39 00
  respond
)";

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class ConformanceE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(root_.data() / "velk.cfg", TestConfig());
        port_ = FreePort();
    }

    void Start(std::map<std::string, std::string> environment = {}) {
        WriteFile(root_.root() / "test.script", kScript);
        environment["OPERATOR_SCRIPT"] = (root_.root() / "test.script").string();
        environment["VELK_REPORT"] = Report().string();
        responder_ = std::make_unique<ResponderProcess>(root_, environment);
        responder_->Start("T01", std::to_string(port_));
    }

    fs::path Report() const { return root_.root() / "report.xml"; }

    CommandResult Velkctl(const std::string& arguments) {
        return RunCommand("cd '" + (root_.root() / "work").string() +
                          "' && " VELK_BINARY_DIR "/velkctl " + arguments + " 2>&1");
    }

    // The responder listens again only once it has closed the last
    // connection: a refused connect is tried again by velkctl itself.
    CommandResult Send(const std::string& controller, const std::string& arguments) {
        return Velkctl("send " + controller + " 127.0.0.1 " + std::to_string(port_) + " " +
                       arguments + " --timeout 5");
    }

    static bool Validates(const fs::path& report) {
        CommandResult run =
            RunCommand("xmllint --noout --schema '" VELK_TEST_DATA "/junit/junit.xsd' '" +
                       report.string() + "' 2>&1");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run.exitCode == 0;
    }

    TempRoot root_;
    int port_ = 0;
    std::unique_ptr<ResponderProcess> responder_;
};

constexpr const char* kBase = "0=0200 3=000000 4=000000001000 11=000001 ";

struct Case {
    const char* what;
    std::string fields;
    std::vector<std::string> findings;  // each must be in the request's failure, in order
};

TEST_F(ConformanceE2E, EachRequestIsAnsweredWithTheFindingsItMustHave) {
    const std::string base = kBase;
    const std::vector<Case> cases = {
        {"n at MAX_LEN", base + "2=4111111111111111111", {}},
        {"n past MAX_LEN",
         base + "2=41111111111111111112",
         {"field 2 \"41111111111111111112\": 20 long, longer than MAX_LEN 19"}},
        {"n with a letter",
         base + "2=411111111111111A",
         {"field 2 \"411111111111111A\": not n (character 16)"}},
        {"a: letters of both cases", base + "40=AZaz", {}},
        {"a with a digit", base + "40=ABC1", {"field 40 \"ABC1\": not a (character 4)"}},
        {"an", base + "42=Az09", {}},
        {"an with a special", base + "42=ab-1", {"field 42 \"ab-1\": not an (character 3)"}},
        {"ans from blank to tilde", base + "'43= A~'", {}},
        {"ans with a control byte",
         base + "'43=AB\\x01'",
         {"field 43 \"AB\\x01\": not ans (character 3)"}},
        {"ans with DEL", base + "'43=A\\x7F'", {"field 43 \"A\\x7f\": not ans (character 2)"}},
        {"ns", base + "44=12-/ ", {}},
        {"ns with a letter", base + "44=12a", {"field 44 \"12a\": not ns (character 3)"}},
        {"as", base + "46=AB-c", {}},
        {"as with a digit", base + "46=AB1", {"field 46 \"AB1\": not as (character 3)"}},
        {"b takes any byte", base + "'47=\\x01\\xFEz'", {}},
        {"z with = and D", base + "35=4111111111111111=2512101 ", {}},
        {"z with D", base + "35=4111111111111111D2512", {}},
        {"z with another separator",
         base + "35=4111111111111111^25",
         {"field 35 \"4111111111111111^25\": not z (character 17)"}},
        {"xn credit and debit", base + "28=C00000100", {}},
        {"xn of one digit", base + "28=D1", {}},
        {"xn without its sign",
         base + "28=X00000100",
         {"field 28 \"X00000100\": not xn (character 1)"}},
        {"xn of a sign alone", base + "28=C", {"field 28 \"C\": not xn (character 2)"}},
        {"a mandatory field absent",
         "0=0200 3=000000 4=000000001000",
         {"field 11 absent: mandatory in 0200"}},
        {"a field in neither list",
         base + "48=X",
         {"field 48 present: in neither MANDATORY nor OPTIONAL of 0200"}},
        {"several at once",
         "0=0200 3=000000 11=000001 40=A1 48=X",
         {"field 40 \"A1\": not a (character 2)", "field 4 absent: mandatory in 0200",
          "field 48 present: in neither MANDATORY nor OPTIONAL of 0200"}},
        {"without OPTIONAL anything else may come", "0=0100 2=4111111111111111 48=X", {}},
        {"a 0100 without its mandatory field",
         "0=0100 48=X",
         {"field 2 absent: mandatory in 0100"}},
        {"a type without a rule",
         "0=0400 11=000001 40=A1 41=TERM0001",
         {"field 40 \"A1\": not a (character 2)"}},
        {"a failed expect of the script",
         "0=0400 11=000001 41=XERM0001",
         {"expect 41=TERM* (line 2): field 41 is \"XERM0001\""}},
    };
    Start({{"DUMP_RECV_FLDS", "Y"}});
    for (const Case& c : cases) {
        // A request with findings is answered 39=30 (the first finding in
        // 48), one without 39=00, by the script's "invalid" rule; 0400 is
        // answered 39=00 whatever it breaks (its rule goes first).
        const bool invalid = !c.findings.empty() && std::string(c.fields).rfind("0=0400", 0) != 0;
        CommandResult run =
            Send("T01", c.fields + " --force --expect 39=" + (invalid ? "30" : "00"));
        EXPECT_EQ(run.exitCode, 0) << c.what << "\n" << run.output;
        // velkctl show spells the finding's backslash as \x5c.
        if (invalid && c.findings[0].find('\\') == std::string::npos) {
            EXPECT_NE(run.output.find("48 Untyped: " + c.findings[0] + "\n"), std::string::npos)
                << c.what << ": ${findings} is the first finding\n"
                << run.output;
        }
    }
    responder_->Signal(SIGTERM);
    EXPECT_EQ(responder_->Wait(5), 3) << "a failed test case makes the run fail";

    const std::string errors = responder_->Stderr();
    size_t invalidCount = 0;
    for (const Case& c : cases) {
        invalidCount += c.findings.empty() ? 0u : 1u;
    }
    EXPECT_NE(errors.find(std::to_string(invalidCount) + " with findings;"), std::string::npos)
        << errors;

    ASSERT_TRUE(Validates(Report()));
    const std::string report = ReadFile(Report());
    EXPECT_NE(report.find("<testsuite name=\"T01\" tests=\"" + std::to_string(cases.size()) +
                          "\" failures=\"" + std::to_string(invalidCount) + "\""),
              std::string::npos)
        << report;
    EXPECT_EQ(Count(report, "<testcase "), cases.size());
    EXPECT_EQ(Count(report, "<failure "), invalidCount);
    const std::string log = root_.LogText();
    size_t from = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::string name = "seq " + std::to_string(i + 1) + "\"";
        const size_t start = report.find(name, from);
        ASSERT_NE(start, std::string::npos) << c.what;
        const size_t end = report.find("</testcase>", start);
        const std::string testCase = report.substr(start, end - start);
        from = end;
        EXPECT_EQ(testCase.find("<failure ") != std::string::npos, !c.findings.empty())
            << c.what << "\n"
            << testCase;
        EXPECT_NE(testCase.find("rule: line "), std::string::npos) << testCase;
        EXPECT_NE(testCase.find("request:\n0 Message Id: "), std::string::npos) << testCase;
        EXPECT_NE(testCase.find("response:\n0 Message Id: "), std::string::npos) << testCase;
        size_t after = 0;
        for (const std::string& finding : c.findings) {
            std::string escaped;
            for (char ch : finding) {
                escaped += ch == '"' ? std::string("&quot;") : std::string(1, ch);
            }
            const size_t at = testCase.find(escaped, after);
            EXPECT_NE(at, std::string::npos) << c.what << ": " << escaped << "\n" << testCase;
            after = at == std::string::npos ? after : at;
            // The error log's record and the field dump tell the same.
            EXPECT_NE(log.find(finding), std::string::npos) << c.what << ": " << finding;
        }
    }
    EXPECT_NE(log.find("Field 040: ABC1  <- field 40 \"ABC1\": not a (character 4)\n"),
              std::string::npos)
        << "the dump shows the finding beside the field";
    EXPECT_NE(log.find("Field 011: (absent)  <- field 11 absent: mandatory in 0200\n"),
              std::string::npos);
}

TEST_F(ConformanceE2E, CardDataIsMaskedInTheFindingsTheLogAndTheReport) {
    Start({{"DUMP_MASK_PAN", "Y"}});
    CommandResult run = Send("T01", std::string(kBase) + "2=41111122223333444455 --force");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    responder_->Signal(SIGTERM);
    EXPECT_EQ(responder_->Wait(5), 3);
    const std::string report = ReadFile(Report());
    const std::string log = root_.LogText();
    EXPECT_NE(report.find("field 2 &quot;411111**********4455&quot;: 20 long"), std::string::npos)
        << report;
    EXPECT_EQ(report.find("41111122223333444455"), std::string::npos) << report;
    EXPECT_NE(log.find("field 2 \"411111**********4455\": 20 long"), std::string::npos) << log;
    EXPECT_EQ(log.find("2223333"), std::string::npos) << log;
}

TEST_F(ConformanceE2E, AKilledRunLeavesAValidReportOfWhatItAnswered) {
    Start();
    CommandResult run = Send("T01", std::string(kBase) + "--count 300 --expect 39=00");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("expectations unmet: 0"), std::string::npos) << run.output;
    // Written at least once a second while requests come: 1.5 s after the
    // last, the report holds it.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    responder_->Signal(SIGKILL);
    responder_->Wait(5);
    ASSERT_TRUE(Validates(Report()));
    const std::string report = ReadFile(Report());
    EXPECT_NE(report.find("<testsuite name=\"T01\" tests=\"300\" failures=\"0\""),
              std::string::npos)
        << report.substr(0, 400);
    EXPECT_EQ(Count(report, "<testcase "), 300u);
}

TEST_F(ConformanceE2E, VelkctlSendExpectTellsWhatDifferedAndExitsThree) {
    Start();
    CommandResult met = Send("T01", std::string(kBase) + "--expect 39=00 --expect 11=000001");
    EXPECT_EQ(met.exitCode, 0) << met.output;
    CommandResult unmet =
        Send("T01", std::string(kBase) + "--expect 39=05 --expect 38!= --expect 11=0000*");
    EXPECT_EQ(unmet.exitCode, 3) << unmet.output;
    EXPECT_NE(unmet.output.find("velkctl: the response did not meet --expect\n"
                                "  field 39 is \"00\", expected 39=05\n"
                                "  field 38 is absent, expected 38!=\n"),
              std::string::npos)
        << unmet.output;
    CommandResult bad = Send("T01", std::string(kBase) + "--expect valid");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;

    // --report for a counted run: one case per request, a failure for each
    // unmet expectation.
    const fs::path report = root_.root() / "controller.xml";
    CommandResult counted = Send(
        "T01", std::string(kBase) + "--count 4 --expect 39=05 --report '" + report.string() + "'");
    EXPECT_EQ(counted.exitCode, 3) << counted.output;
    EXPECT_NE(counted.output.find("expectations unmet: 4"), std::string::npos) << counted.output;
    ASSERT_TRUE(Validates(report));
    const std::string text = ReadFile(report);
    EXPECT_EQ(Count(text, "<testcase "), 4u);
    EXPECT_EQ(Count(text, "field 39 is &quot;00&quot;, expected 39=05"), 8u) << text;
    EXPECT_NE(text.find("rule: --expect 39=05"), std::string::npos) << text;
    responder_->Signal(SIGTERM);
    EXPECT_EQ(responder_->Wait(5), 0) << "every request the responder saw kept its rules";
}

TEST_F(ConformanceE2E, MakeAndSendRefuseValuesThatBreakTheirFieldUnlessForced) {
    // The sample's C01: a 20-digit card number, a letter in field 3.
    WriteFile(root_.data() / "velk.cfg", ReadFile(kSampleConfig));
    CommandResult refused = Velkctl("make C01 x.dat 0=0200 2=12345678901234567890 3=00A000");
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_NE(refused.output.find("velkctl: field 2 \"12345678901234567890\" is 20 long, longer "
                                  "than MAX_LEN 19\n"
                                  "velkctl: field 3 \"00A000\" is not n (character 3)\n"),
              std::string::npos)
        << refused.output;
    EXPECT_FALSE(fs::exists(root_.root() / "work" / "x.dat"));
    CommandResult forced = Velkctl("make C01 x.dat 0=0200 2=12345678901234567890 3=00A000 --force");
    EXPECT_EQ(forced.exitCode, 0) << forced.output;
    CommandResult check = Velkctl("check C01 x.dat");
    EXPECT_EQ(check.exitCode, 3) << check.output;
    EXPECT_EQ(check.output,
              "field 2 \"12345678901234567890\": 20 long, longer than MAX_LEN 19\n"
              "field 3 \"00A000\": not n (character 3)\n"
              "field 4 absent: mandatory in 0200\n"
              "field 11 absent: mandatory in 0200\n"
              "field 41 absent: mandatory in 0200\n");
    ASSERT_EQ(Velkctl("make C01 ok.dat 0=0800 11=000001 70=301").exitCode, 0);
    CommandResult clean = Velkctl("check C01 ok.dat");
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
    EXPECT_EQ(clean.output, "ok.dat: no findings\n");
    // send refuses before it connects: nothing listens on the port.
    CommandResult send = Send("C01", "0=0800 11=00000A 70=301");
    EXPECT_EQ(send.exitCode, 1) << send.output;
    EXPECT_NE(send.output.find("field 11 \"00000A\" is not n (character 6)"), std::string::npos)
        << send.output;
}

TEST_F(ConformanceE2E, TheRequestsOfTheShippedExamplesKeepTheSamplesRules) {
    WriteFile(root_.data() / "velk.cfg", ReadFile(kSampleConfig));
    // docs/velkctl.md, docs/many-peers.md, docs/conformance.md, the
    // benchmarks' request and scripts/run.sh's hint.
    const char* examples[] = {
        "0=0800 11=000001 70=301",
        "0=0200 2=4111111111111111 3=000000 4=000000001000 11=000123 41=TERM0001",
        "0=0200 2=4111111111111111 3=000000 4=000000001000 7=1209120000 11=000123 "
        "41=TERM0001 49=978 102=1234567890",
    };
    for (const char* fields : examples) {
        ASSERT_EQ(Velkctl(std::string("make C01 e.dat ") + fields).exitCode, 0) << fields;
        CommandResult check = Velkctl("check C01 e.dat");
        EXPECT_EQ(check.exitCode, 0) << fields << "\n" << check.output;
    }
}

}  // namespace
