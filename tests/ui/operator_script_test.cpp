#include "ui/script/operator_script.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_root.h"

namespace {

using ui::ScriptAction;
using ui::ScriptCondition;

TEST(OperatorScript, ReadsRulesAndTheirLines) {
    ui::OperatorScript script;
    std::string error;
    ASSERT_TRUE(ui::ParseOperatorScript("answer.script",
                                        "\xEF\xBB\xBF# echo tests\n"
                                        "on 0=0800 \r\n"
                                        "  set 0 0810\n"
                                        "\tset 44  two blanks kept \n"
                                        "  set 39\n"
                                        "  clear 2 \n"
                                        "  read /tmp/a b.dat\n"
                                        "  save out.dat\n"
                                        "  respond \n"
                                        "\n"
                                        "on 4=\n"
                                        "on *\t\n"
                                        "  ask\n"
                                        "  cancel\n"
                                        "on\t41=\"TERM 001\"  4>=100 2!=\n"
                                        "  delay 250\n"
                                        "  silence\n"
                                        "  close\n",
                                        script, error))
        << error;
    ASSERT_EQ(script.rules.size(), 4u);
    const ui::ScriptRule& echo = script.rules[0];
    ASSERT_EQ(echo.conditions.size(), 1u);
    EXPECT_EQ(echo.conditions[0].kind, ScriptCondition::Equals);
    EXPECT_EQ(echo.conditions[0].field, 0);
    EXPECT_EQ(echo.conditions[0].text, "0800") << "the CR of a CRLF line and a trailing blank go";
    ASSERT_EQ(echo.actions.size(), 7u);
    EXPECT_EQ(echo.actions[0].kind, ScriptAction::Set);
    EXPECT_EQ(echo.actions[0].value.written, "0810");
    EXPECT_EQ(echo.actions[1].field, 44);
    EXPECT_EQ(echo.actions[1].value.written, " two blanks kept ") << "set's TEXT stands as written";
    EXPECT_EQ(echo.actions[2].value.written, "");
    EXPECT_EQ(echo.actions[3].kind, ScriptAction::Clear);
    EXPECT_EQ(echo.actions[4].value.written, "/tmp/a b.dat");
    EXPECT_EQ(echo.actions[5].kind, ScriptAction::Save);
    EXPECT_EQ(echo.actions[6].kind, ScriptAction::Respond);
    EXPECT_EQ(echo.actions[6].line, 9);
    EXPECT_EQ(script.rules[1].conditions[0].text, "");
    EXPECT_TRUE(script.rules[1].actions.empty());
    EXPECT_EQ(script.rules[2].conditions[0].kind, ScriptCondition::Always);
    EXPECT_EQ(script.rules[2].actions[0].kind, ScriptAction::Ask);

    const ui::ScriptRule& faults = script.rules[3];
    ASSERT_EQ(faults.conditions.size(), 3u);
    EXPECT_EQ(faults.conditions[0].text, "TERM 001");
    EXPECT_EQ(faults.conditions[1].kind, ScriptCondition::GreaterOrEqual);
    EXPECT_EQ(faults.conditions[1].number, 100);
    EXPECT_TRUE(faults.conditions[2].negate);
    EXPECT_EQ(faults.actions[0].kind, ScriptAction::Delay);
    EXPECT_EQ(faults.actions[0].delayMs, 250);
    EXPECT_EQ(faults.actions[1].kind, ScriptAction::Silence);
    EXPECT_EQ(faults.actions[2].kind, ScriptAction::Close);
}

TEST(OperatorScript, ALineItDoesNotUnderstandNamesTheFileAndLine) {
    const std::string longPath(261, 'p');
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"respond\n", "line 1: \"respond\" comes before the first \"on\""},
        {"on *\nsned\n", "line 2: unknown command \"sned\""},
        {"on 0800\n", "line 1: \"0800\" is not a condition"},
        {"on 0~1\n", "line 1: \"0~1\" is not a condition: expected =, !=, <, <=, > or >="},
        {"on x=1\n", "line 1: \"x=1\" is not a condition"},
        {"on 129=1\n", "line 1: \"129=1\" is not a condition"},
        {"on\n", "line 1: \"on\" needs a condition"},
        // An old rule whose TEXT holds a blank would change its meaning.
        {"on 41=TERM 001\n",
         "line 1: \"001\" is not a condition; a TEXT that holds a blank is written in double "
         "quotes: 41=\"TERM 001\""},
        {"on 41=\"TERM 001\n", "the quoted TEXT has no closing \""},
        {"on 41=\"A\"B\n", "a blank must follow the closing \""},
        {"on 2=*\n", "a wildcard needs TEXT"},
        {"on 4<12ab\n", "a comparison needs a NUMBER"},
        {"on 4<1234567890123456789\n", "a comparison needs a NUMBER"},
        {"on *\nset 200 x\n", "line 2: \"set\" needs a field number from 0 to 128"},
        {"on *\nset\n", "line 2: \"set\" needs a field number"},
        {"on *\nclear 3 x\n", "line 2: \"clear\" takes a field number only"},
        {"on *\nread\n", "line 2: \"read\" needs a file path"},
        {"on *\nsave out.dat \n", "line 2: the path of \"save\" ends in a blank"},
        {"on *\nread " + longPath + "\n", "line 2: the path of \"read\" is longer than 260"},
        {"on *\nrespond now\n", "line 2: \"respond\" takes nothing after it"},
        {"on *\nclose 1\n", "line 2: \"close\" takes nothing after it"},
        {"on *\ndelay\n", "line 2: \"delay\" needs milliseconds from 0 to 600000"},
        {"on *\ndelay 600001\n", "\"delay\" needs milliseconds"},
        {"on *\ndelay -1\n", "\"delay\" needs milliseconds"},
        {"on *\nset 7 ${now}\n", "\"${now:FORMAT}\" needs a FORMAT"},
        {"on *\nset 7 ${now:%Q}\n", "unknown time conversion"},
        {"on *\nset 38 ${rand:19}\n", "K is a number of digits from 1 to 18"},
        {"on *\nset 37 ${seq:0}\n", "K is a number of digits"},
        {"on *\nset 37 ${11:2}\n", "expected ${N:FROM:COUNT}"},
        {"on *\nset 37 ${11:0:0}\n", "expected ${N:FROM:COUNT}"},
        {"on *\nsave ${pan}.dat\n", "unknown live value \"${pan}\""},
        {"on *\nset 37 ${11\n", "\"${\" without its closing \"}\""},
    };
    for (const Case& c : cases) {
        ui::OperatorScript script;
        std::string error;
        EXPECT_FALSE(ui::ParseOperatorScript("s.txt", c.text, script, error)) << c.text;
        EXPECT_EQ(error.rfind("Operator script s.txt ", 0), 0u) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(OperatorScript, WhatCannotBeReadAsAScriptIsRefused) {
    TempRoot root;
    const std::string directory = root.root().string();
    struct Case {
        std::string path;
        std::string error;
    } const cases[] = {
        {"/no/such/script", "Operator script /no/such/script cannot be read"},
        {directory, "Operator script " + directory + " cannot be read (it is a directory)"},
    };
    for (const Case& c : cases) {
        ui::OperatorScript script;
        std::string error;
        EXPECT_FALSE(ui::LoadOperatorScript(c.path, script, error));
        EXPECT_EQ(error, c.error);
    }
    // An empty file is a script without rules.
    WriteFile(root.root() / "empty.script", "");
    ui::OperatorScript script;
    std::string error;
    EXPECT_TRUE(ui::LoadOperatorScript((root.root() / "empty.script").string(), script, error));
    EXPECT_TRUE(script.rules.empty());
}

TEST(OperatorScript, TheShippedScriptsLoad) {
    for (const char* name :
         {"answer.script", "host-simulator.script", "faults.script", "chip-host.script"}) {
        ui::OperatorScript script;
        std::string error;
        EXPECT_TRUE(ui::LoadOperatorScript(std::string(VELK_TEST_DATA "/../../data/") + name,
                                           script, error))
            << error;
        EXPECT_FALSE(script.rules.empty()) << name;
    }
}

}  // namespace
