#include "ui/script/operator_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::ScriptAction;

TEST(OperatorScript, ReadsRulesAndTheirLines) {
    ui::OperatorScript script;
    std::string error;
    ASSERT_TRUE(ui::ParseOperatorScript("answer.script",
                                        "# echo tests\n"
                                        "on 0=0800\r\n"
                                        "  set 0 0810\n"
                                        "\tset 44  two blanks kept \n"
                                        "  set 39\n"
                                        "  clear 2\n"
                                        "  read /tmp/a b.dat\n"
                                        "  save out.dat\n"
                                        "  respond\n"
                                        "\n"
                                        "on 4=\n"
                                        "on *\n"
                                        "  ask\n"
                                        "  cancel\n",
                                        script, error))
        << error;
    ASSERT_EQ(script.rules.size(), 3u);
    const ui::ScriptRule& echo = script.rules[0];
    EXPECT_FALSE(echo.any);
    EXPECT_EQ(echo.field, 0);
    EXPECT_EQ(echo.text, "0800") << "the CR of a CRLF line is dropped";
    ASSERT_EQ(echo.actions.size(), 7u);
    EXPECT_EQ(echo.actions[0].kind, ScriptAction::Set);
    EXPECT_EQ(echo.actions[0].text, "0810");
    EXPECT_EQ(echo.actions[1].field, 44);
    EXPECT_EQ(echo.actions[1].text, " two blanks kept ");
    EXPECT_EQ(echo.actions[2].text, "");
    EXPECT_EQ(echo.actions[3].kind, ScriptAction::Clear);
    EXPECT_EQ(echo.actions[4].text, "/tmp/a b.dat");
    EXPECT_EQ(echo.actions[5].kind, ScriptAction::Save);
    EXPECT_EQ(echo.actions[6].kind, ScriptAction::Respond);
    EXPECT_EQ(echo.actions[6].line, 9);
    EXPECT_EQ(script.rules[1].text, "");
    EXPECT_TRUE(script.rules[1].actions.empty());
    EXPECT_TRUE(script.rules[2].any);
    EXPECT_EQ(script.rules[2].actions[0].kind, ScriptAction::Ask);
}

TEST(OperatorScript, ALineItDoesNotUnderstandNamesTheFileAndLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"respond\n", "line 1: \"respond\" comes before the first \"on\""},
        {"on *\nsned\n", "line 2: unknown command \"sned\""},
        {"on 0800\n", "line 1: expected \"on N=TEXT\" or \"on *\""},
        {"on x=1\n", "line 1: expected"},
        {"on 129=1\n", "line 1: expected"},
        {"on *\nset 200 x\n", "line 2: \"set\" needs a field number from 0 to 128"},
        {"on *\nset\n", "line 2: \"set\" needs a field number"},
        {"on *\nclear 3 x\n", "line 2: \"clear\" takes a field number only"},
        {"on *\nread\n", "line 2: \"read\" needs a file path"},
        {"on *\nrespond now\n", "line 2: \"respond\" takes nothing after it"},
    };
    for (const Case& c : cases) {
        ui::OperatorScript script;
        std::string error;
        EXPECT_FALSE(ui::ParseOperatorScript("s.txt", c.text, script, error)) << c.text;
        EXPECT_EQ(error.rfind("Operator script s.txt ", 0), 0u) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(OperatorScript, AnUnreadableFileIsReported) {
    ui::OperatorScript script;
    std::string error;
    EXPECT_FALSE(ui::LoadOperatorScript("/no/such/script", script, error));
    EXPECT_EQ(error, "Operator script /no/such/script cannot be read");
}

}  // namespace
