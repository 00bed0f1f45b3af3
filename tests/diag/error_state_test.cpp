#include "diag/error_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ErrorStateTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearError(); }
    void TearDown() override { ClearError(); }
};

TEST_F(ErrorStateTest, EachPieceOfTextStartsWithTheSourceAndLineOfItsCall) {
    SetError(ERR_CONNECTION, 10054);
    AddErrorText("vksoc", 1169, "ReadPort: Connection reset by peer\n");
    AddErrorText("vksoc", 1322, "RecvMsg: Unable to read %s\n", "message");
    EXPECT_EQ(GetErrorCode(), 1002);
    EXPECT_EQ(GetErrorSubCode(), 10054);
    EXPECT_STREQ(GetErrorText(),
                 "[vksoc,1169] ReadPort: Connection reset by peer\n"
                 "[vksoc,1322] RecvMsg: Unable to read message\n");
}

TEST_F(ErrorStateTest, SetErrorDiscardsTheTextOfAnUnloggedError) {
    SetError(ERR_FORMAT, 0);
    AddErrorText("vksoc", 1, "old\n");
    SetError(ERR_TIMEOUT, 0);
    AddErrorText("vksoc", 2, "new\n");
    EXPECT_EQ(GetErrorCode(), ERR_TIMEOUT);
    EXPECT_STREQ(GetErrorText(), "[vksoc,2] new\n");
}

TEST_F(ErrorStateTest, TextWithoutSetErrorAppendsToTheRecordedError) {
    SetError(ERR_FORMAT, 0);
    AddErrorText("vksoc", 10, "Assemble8583: Field: %d unknown", 7);
    AddErrorText("vksoc", 20, "SendMsg: Error in assembling the message\n");
    EXPECT_STREQ(GetErrorText(),
                 "[vksoc,10] Assemble8583: Field: 7 unknown[vksoc,20] SendMsg: Error in "
                 "assembling the message\n");
}

TEST_F(ErrorStateTest, ClearErrorEmptiesCodesAndText) {
    SetError(ERR_INVALID, 2);
    AddErrorText("vkstp", 3, "x\n");
    ClearError();
    EXPECT_EQ(GetErrorCode(), 0);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_STREQ(GetErrorText(), "");
}

TEST_F(ErrorStateTest, TextIsCutAt4095CharactersAndStaysTerminated) {
    SetError(ERR_FORMAT, 0);
    std::string chunk(1000, 'x');
    for (int i = 0; i < 6; ++i) {
        AddErrorText("vksoc", i, "%s\n", chunk.c_str());
    }
    std::string text = GetErrorText();
    EXPECT_EQ(text.size(), 4095u);
    EXPECT_EQ(text.substr(0, 12), "[vksoc,0] xx");
    // Further pieces are dropped quietly, and clearing starts afresh.
    AddErrorText("vksoc", 99, "more\n");
    EXPECT_EQ(std::string(GetErrorText()).size(), 4095u);
    ClearError();
    AddErrorText("vksoc", 7, "fresh\n");
    EXPECT_STREQ(GetErrorText(), "[vksoc,7] fresh\n");
}

}  // namespace
