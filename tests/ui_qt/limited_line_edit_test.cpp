#include "ui/qt/limited_line_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

enum class Input { Type, Paste, Backspace };

struct LimitCase {
    const char* what;
    const char* shown;  // set by the program
    int limit;
    int cursor;  // where the edit starts, or the start of the selection
    int selected;
    Input input;
    const char* text;
    const char* expected;
};

// The program's text is kept whole; what the person types or pastes fills
// only the room the limit leaves after the selection it replaces is gone.
const LimitCase LIMIT_CASES[] = {
    {"typing stops at the limit", "", 4, 0, 0, Input::Type, "021099", "0210"},
    {"a longer text set by the program shows whole", "02100", 4, 5, 0, Input::Type, "", "02100"},
    {"typing cannot lengthen a longer text", "02100", 4, 5, 0, Input::Type, "7", "02100"},
    {"typing cannot lengthen it in the middle", "02100", 4, 2, 0, Input::Type, "7", "02100"},
    {"a longer text can be shortened", "02100", 4, 5, 0, Input::Backspace, "", "0210"},
    {"pasting is cut to the room left", "ab", 5, 2, 0, Input::Paste, "123456", "ab123"},
    {"pasting into the middle keeps the end", "ac", 3, 1, 0, Input::Paste, "bbb", "abc"},
    {"a pasted selection's room counts", "abcde", 5, 1, 3, Input::Paste, "123456", "a123e"},
    {"typing over a selection in a full box", "abcd", 4, 1, 1, Input::Type, "xy", "axcd"},
    {"pasting text that begins like the selection", "abcd", 4, 1, 3, Input::Paste, "bcdX", "abcd"},
    {"no limit", "", 0, 0, 0, Input::Type, "0123456789", "0123456789"},
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.what;
}

// Shows the box, selects and makes the case's edit.
void Edit(ui::LimitedLineEdit& edit, const LimitCase& c) {
    edit.show();
    edit.setSelection(c.cursor, c.selected);
    switch (c.input) {
        case Input::Type:
            QTest::keyClicks(&edit, QString::fromLatin1(c.text));
            break;
        case Input::Paste:
            QApplication::clipboard()->setText(QString::fromLatin1(c.text));
            QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
            break;
        case Input::Backspace:
            QTest::keyClick(&edit, Qt::Key_Backspace);
            break;
    }
}

class LimitedLineEditTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitedLineEditTest, KeepsTheProgramsTextAndLimitsInput) {
    const LimitCase& c = GetParam();
    ui::LimitedLineEdit edit(nullptr);
    edit.SetLimit(c.limit);
    edit.SetWholeText(QString::fromLatin1(c.shown));
    Edit(edit, c);
    EXPECT_EQ(edit.text().toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LimitedLineEditTest, ::testing::ValuesIn(LIMIT_CASES),
                         [](const ::testing::TestParamInfo<LimitCase>& testInfo) {
                             std::string name = testInfo.param.what;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// A box limited to hexadecimal digits (a BINARY value): every other
// character is dropped, letters are made upper case, and the limit counts
// what is left.
const LimitCase HEX_CASES[] = {
    {"hex digits are typed upper case", "", 16, 0, 0, Input::Type, "0a1B2c", "0A1B2C"},
    {"other characters are dropped", "", 16, 0, 0, Input::Type, "12 g-Z:ef", "12EF"},
    {"a hex box stops at its limit", "", 4, 0, 0, Input::Type, "abcdef", "ABCD"},
    {"a paste keeps its hex digits", "AB", 8, 2, 0, Input::Paste, "12 34-xy56", "AB123456"},
    {"a filtered paste fills the room", "AB", 6, 1, 0, Input::Paste, "c d e f", "ACDEFB"},
    {"a selection typed over with nothing", "ABCD", 4, 1, 2, Input::Type, "z", "ABCD"},
    {"typing over a selection", "ABCD", 4, 1, 2, Input::Type, "9", "A9D"},
    {"the program's text stays as set", "ab 12", 4, 5, 0, Input::Backspace, "", "ab 1"},
};

class HexLineEditTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(HexLineEditTest, TakesOnlyHexDigitsUpperCase) {
    const LimitCase& c = GetParam();
    ui::LimitedLineEdit edit(nullptr);
    edit.SetLimit(c.limit);
    edit.SetHexDigits(true);
    edit.SetWholeText(QString::fromLatin1(c.shown));
    Edit(edit, c);
    EXPECT_EQ(edit.text().toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexLineEditTest, ::testing::ValuesIn(HEX_CASES),
                         [](const ::testing::TestParamInfo<LimitCase>& testInfo) {
                             std::string name = testInfo.param.what;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(LimitedLineEdit, ALimitSetAfterTheTextLeavesTheTextWhole) {
    ui::LimitedLineEdit edit(nullptr);
    edit.SetWholeText(QStringLiteral("000000010000"));
    edit.SetLimit(4);
    edit.show();
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("9"));
    EXPECT_EQ(edit.text(), QStringLiteral("000000010000"));
    EXPECT_EQ(edit.cursorPosition(), 12);
}

TEST(LimitedLineEdit, TheProgramsTextShowsFromItsFirstCharacter) {
    ui::LimitedLineEdit edit(nullptr);
    edit.SetWholeText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(edit.cursorPosition(), 0);
}

}  // namespace
