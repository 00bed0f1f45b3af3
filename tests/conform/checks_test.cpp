#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "conform/field_type_check.h"
#include "conform/findings.h"
#include "conform/length_check.h"
#include "conform/value_form.h"
#include "conform/xml_text.h"

namespace {

struct TypeCase {
    FieldType type;
    std::string_view value;
    int firstBreak;  // 0: the value has the type
};

TEST(FieldTypeCheck, EachTypeAcceptsItsCharactersAndNamesTheFirstThatBreaksIt) {
    const TypeCase cases[] = {
        {FieldType::N, "0123456789", 0},
        {FieldType::N, "12 4", 3},
        {FieldType::N, "/", 1},  // the characters beside '0' and '9'
        {FieldType::N, ":", 1},
        {FieldType::A, "AZaz", 0},
        {FieldType::A, "@", 1},
        {FieldType::A, "[", 1},
        {FieldType::A, "`", 1},
        {FieldType::A, "{", 1},
        {FieldType::An, "aZ09", 0},
        {FieldType::An, "a b", 2},
        {FieldType::Ans, " ~", 0},
        {FieldType::Ans, "\x1f", 1},
        {FieldType::Ans, "a\x7f", 2},
        {FieldType::Ans, "\xc3\xa9", 1},
        {FieldType::Ns, "0 -/9", 0},
        {FieldType::Ns, "1a", 2},
        {FieldType::As, "a -Z", 0},
        {FieldType::As, "a0", 2},
        {FieldType::B, std::string_view("\0\xff", 2), 0},
        {FieldType::Z, "4111=25D1", 0},
        {FieldType::Z, ";4111=25?", 1},
        {FieldType::Xn, "C0", 0},
        {FieldType::Xn, "D000123", 0},
        {FieldType::Xn, "c1", 1},
        {FieldType::Xn, "C", 2},
        {FieldType::Xn, "CD1", 2},
        {FieldType::Absent, "anything \x01", 0},
        {FieldType::N, "", 0},
    };
    for (const TypeCase& c : cases) {
        EXPECT_EQ(conform::FirstBreakOfType(c.type, c.value), c.firstBreak)
            << FieldTypeName(c.type) << " \"" << c.value << "\"";
    }
}

TEST(LengthCheck, VariableValuesMayBeShorterFixedOnesMustBeExact) {
    const FieldSpec variable{"V", 19, 2};
    const FieldSpec fixed{"F", 6, 0};
    EXPECT_EQ(conform::CheckLength(variable, 19), conform::LengthVerdict::Fits);
    EXPECT_EQ(conform::CheckLength(variable, 1), conform::LengthVerdict::Fits);
    EXPECT_EQ(conform::CheckLength(variable, 20), conform::LengthVerdict::TooLong);
    EXPECT_EQ(conform::CheckLength(fixed, 6), conform::LengthVerdict::Fits);
    EXPECT_EQ(conform::CheckLength(fixed, 5), conform::LengthVerdict::WrongLength);
    EXPECT_EQ(conform::CheckLength(fixed, 7), conform::LengthVerdict::WrongLength);
    EXPECT_EQ(conform::CheckLength(fixed, 0), conform::LengthVerdict::Fits) << "absent";
}

TEST(ValueForm, MaxLenCountsBytesOfBinaryCharactersOfEbcdicAndDigitsOfBcd) {
    LinkRecord link{};
    link.fields[52 - 1].ENCODING = static_cast<uint8_t>(ValueEncoding::Binary);
    link.fields[43 - 1].ENCODING = static_cast<uint8_t>(ValueEncoding::Ebcdic);
    link.fields[2 - 1].ENCODING = static_cast<uint8_t>(ValueEncoding::BcdF);
    EXPECT_EQ(conform::CountedLength(link, 52, "0123456789ABCDEF"), 8);
    EXPECT_EQ(conform::CountedLength(link, 43, "Caf\xc3\xa9"), 4) << "UTF-8: four characters";
    EXPECT_EQ(conform::CountedLength(link, 2, "4111111111111111111"), 19);
    EXPECT_EQ(conform::CountedLength(link, 3, "000000"), 6) << "ASCII";
}

TEST(Findings, AFullListCountsWhatItCannotKeepAndTextsAreCutAtTheirRoom) {
    conform::Findings findings;
    const std::string text(400, 'x');
    for (int i = 0; i < conform::MAX_FINDINGS + 3; ++i) {
        findings.Add({conform::FindingKind::WrongType, i, 1, 0}, text);
    }
    EXPECT_EQ(findings.count(), conform::MAX_FINDINGS);
    EXPECT_EQ(findings.dropped(), 3);
    EXPECT_EQ(findings.total(), conform::MAX_FINDINGS + 3);
    size_t kept = 0;
    for (int i = 0; i < findings.count(); ++i) {
        kept += findings.Text(i).size();
    }
    EXPECT_EQ(kept, static_cast<size_t>(conform::FINDINGS_TEXT_SIZE));
    EXPECT_EQ(findings.FirstAbout(5), 5);
    EXPECT_EQ(findings.FirstAbout(99), -1);
    findings.Clear();
    EXPECT_TRUE(findings.empty());
    EXPECT_EQ(findings.First(), "");
}

TEST(XmlText, MarkupIsEscapedAndBytesXmlCannotHoldAreSpelledOut) {
    char room[128];
    conform::TextBuffer out{room, sizeof room};
    out.PutXml("<a & \"b\" 'c'>\t\n\x01\x7f\xe9");
    EXPECT_EQ(out.view(), "&lt;a &amp; &quot;b&quot; &apos;c&apos;&gt;\t\n\\x01\\x7f\\xe9");
    char small[4];
    conform::TextBuffer cut{small, sizeof small};
    cut.Put("abc");
    cut.PutXml("&");
    EXPECT_TRUE(cut.cut);
    EXPECT_EQ(cut.view(), "abc") << "an entity is never cut in half";
}

}  // namespace
