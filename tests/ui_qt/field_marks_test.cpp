#include <QApplication>
#include <QLabel>

#include "conform/findings.h"
#include "desk_fixture.h"

namespace {

using QtFieldMarks = DeskFixture;

QLabel* LabelOfRow(ui::QtDialogHost& dialog, const QString& name) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().endsWith(name)) {
            return label;
        }
    }
    return nullptr;
}

TEST_F(QtFieldMarks, EachRowARequestsFindingsAreAboutIsMarkedWithItsFirstAsTooltip) {
    Put(2, "41111111111111111112");
    Put(3, "00A000");
    conform::Findings findings;
    findings.Add({conform::FindingKind::TooLong, 2, 20, 19},
                 "field 2 \"41111111111111111112\": 20 long, longer than MAX_LEN 19");
    findings.Add({conform::FindingKind::WrongType, 2, 1, 0}, "a second finding of field 2");
    findings.Add({conform::FindingKind::WrongType, 3, 3, 0},
                 "field 3 \"00A000\": not n (character 3)");
    findings.Add({conform::FindingKind::ExpectFailed, -1, 0, 7}, "about no field");
    exchange_.findings = &findings;
    auto dialog = Open();

    QLabel* pan = LabelOfRow(*dialog, "Primary Account Number");
    ASSERT_NE(pan, nullptr);
    EXPECT_TRUE(pan->text().startsWith("! ")) << pan->text().toStdString();
    EXPECT_EQ(pan->toolTip().toStdString(),
              "field 2 \"41111111111111111112\": 20 long, longer than MAX_LEN 19");
    EXPECT_EQ(Box(*dialog, 1002)->toolTip(), pan->toolTip()) << "the box says it too";
    QLabel* code = LabelOfRow(*dialog, "Processing Code");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->toolTip().toStdString(), "field 3 \"00A000\": not n (character 3)");

    QLabel* amount = LabelOfRow(*dialog, "Amount");
    ASSERT_NE(amount, nullptr) << "rows without findings stay as they were";
    EXPECT_FALSE(amount->text().startsWith("! "));
    EXPECT_TRUE(amount->toolTip().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box is shown for findings";
}

TEST_F(QtFieldMarks, ARequestWithoutFindingsMarksNothing) {
    conform::Findings none;
    exchange_.findings = &none;
    auto dialog = Open();
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        EXPECT_FALSE(label->text().startsWith("! ")) << label->text().toStdString();
    }
}

}  // namespace
