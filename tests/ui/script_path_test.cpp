#include "ui/script/script_path.h"

#include <gtest/gtest.h>

#include "fake_value_source.h"

#include <map>
#include <string>

namespace {

class Boxes : public FakeValueSource {
  public:
    Boxes() { sequence = 7; }
};

struct Case {
    const char* written;
    std::string field48;  // what the peer sent
    const char* expanded;
    bool stays;
};

// The traversal forms of both platforms, in the peer's field and in the
// script's fixed text around it.
const Case kCases[] = {
    {"../log/req/${48}", "000123", "../log/req/000123", true},
    {"../log/req/${48}", "../victim.txt", "../log/req/_._victim.txt", true},
    {"../log/req/${48}", "..\\victim.txt", "../log/req/_._victim.txt", true},
    {"../log/req/${48}", "..", "../log/req/_.", true},
    {"../log/req/${48}", ".hidden", "../log/req/_hidden", true},
    {"../log/req/${48}", "a.b-c_D9", "../log/req/a.b-c_D9", true},
    {"../log/req/${48}", "C:\\Windows\\x", "../log/req/C__Windows_x", true},
    {"../log/req/${48}", "/etc/x", "../log/req/_etc_x", true},
    {"../log/req/${48}", "\\\\server\\x", "../log/req/__server_x", true},
    {"../log/req/${48}", std::string("a\0/../b", 7), "../log/req/a__.._b", true},
    {"../log/req/${48}", "n\xc3\xa4me ok", "../log/req/n__me_ok", true},
    {"../log/req/${48:0:3}.dat", "../x", "../log/req/_._.dat", true},
    {"${48}", "/etc/passwd", "_etc_passwd", true},
    // What the peer's text cannot do, an empty field and the script's own
    // text around it can: such a path is refused.
    {"../log/req/.${48}./x", "", "../log/req/../x", false},
    {"../log/req/.${48}./x", "1", "../log/req/.1./x", true},
    {"../log/req/${48}/../x", "sub", "../log/req/sub/../x", true},
    {"../log/req/${48}/../../x", "sub", "../log/req/sub/../../x", false},
    {"..\\log\\req\\${48}\\..\\..\\x", "sub", "..\\log\\req\\sub\\..\\..\\x", false},
    {"${48}/etc/x", "", "/etc/x", false},
    {"${48}\\\\server\\x", "", "\\\\server\\x", false},
    {"${48}:x", "C", "C:x", false},
    {"${48}/etc/x", "here", "here/etc/x", true},
    // The author's own fixed text is theirs to choose.
    {"C:../x${48}", "1", "C:../x1", true},
    {"/var/req/${48}", "1", "/var/req/1", true},
    {"../x/${now:%Y}/${48}/..", "1", nullptr, true},
};

TEST(ScriptPath, APeersTextStaysInsideTheFolderTheScriptNames) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.written);
        ui::ScriptValue value;
        std::string why;
        ASSERT_TRUE(ui::ParseScriptValue(c.written, value, why)) << why;
        Boxes boxes;
        boxes.texts[48] = c.field48;
        char path[256];
        size_t length = ui::ExpandScriptPath(value, boxes, path, sizeof path);
        if (c.expanded != nullptr) {
            EXPECT_EQ(std::string(path, length), c.expanded);
        }
        EXPECT_EQ(ui::PathStaysInItsFolder(value, path), c.stays) << path;
    }
}

TEST(ScriptPath, APathWithoutAPeersTextIsTheAuthorsAndNeverRefused) {
    for (const char* written : {"../../etc/x", "/etc/x", "C:\\x", "../${seq:3}/../../x"}) {
        ui::ScriptValue value;
        std::string why;
        ASSERT_TRUE(ui::ParseScriptValue(written, value, why)) << why;
        Boxes boxes;
        char path[256];
        ui::ExpandScriptPath(value, boxes, path, sizeof path);
        EXPECT_TRUE(ui::PathStaysInItsFolder(value, path)) << written;
    }
}

TEST(ScriptPath, SetKeepsThePeersTextAsItIs) {
    ui::ScriptValue value;
    std::string why;
    ASSERT_TRUE(ui::ParseScriptValue("${48}", value, why)) << why;
    Boxes boxes;
    boxes.texts[48] = "../a\\b:c .d";
    char text[64];
    size_t length = ui::ExpandScriptValue(value, boxes, text, sizeof text);
    EXPECT_EQ(std::string(text, length), "../a\\b:c .d");
}

}  // namespace
