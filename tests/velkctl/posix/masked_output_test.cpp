// velkctl prints card data masked with DUMP_MASK_PAN on; the file it made
// keeps the digits.

#include "run_command.h"
#include "scoped_env.h"
#include "vksoc/port/connection_fixture.h"

namespace {

using ::testing::HasSubstr;

using MaskedOutputTest = ConnectionTest;

TEST_F(MaskedOutputTest, ShowMasksTheCardNumberAndTheFileKeepsIt) {
    ScopedEnv header("HEADER_LENGTH", "0");
    CommandResult made = RunVelkctl("make C01 card.dat 0=0200 2=4761739001010119 3=000000");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_THAT(ReadFile("card.dat"), HasSubstr("4761739001010119"));

    ScopedEnv mask("DUMP_MASK_PAN", "Y");
    CommandResult shown = RunVelkctl("show C01 card.dat");
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_THAT(shown.output, HasSubstr("2 PAN: 476173******0119\n3 PROC_CODE: 000000\n"));
    EXPECT_THAT(ReadFile("card.dat"), HasSubstr("4761739001010119"));
}

}  // namespace
