// velkctl make, show and config on controllers that frame their links: the
// data file is what SendMsg writes, framing included, and is read back by
// the framing it was made with.

#include <fstream>
#include <sstream>

#include "run_command.h"
#include "vksoc/port/framed_link_fixture.h"

namespace {

using ::testing::HasSubstr;

class VelkctlFramedTest : public FramedLinkTest {};

std::string FileBytes(const char* name) {
    std::ifstream file(name, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

TEST_F(VelkctlFramedTest, MakeWritesTheFramedRecordAndShowReadsItWithItsTpdu) {
    Load({"BN2", "ALL", "BCD", "VML"});
    for (const char* id : {"BN2", "ALL", "BCD", "VML"}) {
        CommandResult made =
            RunVelkctl(std::string("make ") + id + " x.dat 0=0800 7=1209120000 11=000123 70=301");
        ASSERT_EQ(made.exitCode, 0) << made.output;
        EXPECT_EQ(FileBytes("x.dat"), FramedRecord(id, EchoTest0800(id))) << id;
        CommandResult shown = RunVelkctl(std::string("show ") + id + " x.dat");
        ASSERT_EQ(shown.exitCode, 0) << shown.output;
        EXPECT_THAT(shown.output, HasSubstr("70 NETWORK_CODE: 301\n")) << id;
        EXPECT_EQ(shown.output.find("TPDU: 6000010002\n") == 0, std::string(id) == "ALL")
            << shown.output;
    }
}

TEST_F(VelkctlFramedTest, ConfigTellsEachControllersFramingInWords) {
    Load({"ALL", "KAE"});
    CommandResult run = RunVelkctl("config");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output,
                HasSubstr("ALL: 6 fields defined\n    framing: 2-byte binary length, big-endian "
                          "(BIN2), counting itself; TPDU 6000010002, answered with its addresses "
                          "swapped; trailer 03; keep-alives (length 0) passed over\n"));
    EXPECT_THAT(run.output, HasSubstr("keep-alives (length 0) echoed\n"));
    EXPECT_THAT(run.output,
                HasSubstr("C01: 6 fields defined\n    framing: 4 ASCII decimal digits of length "
                          "(ASCII4), as HEADER_LENGTH says\n"));
}

}  // namespace
