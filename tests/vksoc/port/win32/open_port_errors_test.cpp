// File port failures carry the system's error number on Windows.

#include "os_lowio.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"

namespace {

using OpenPortTest = ConnectionTest;

TEST_F(OpenPortTest, AFileInAMissingFolderGivesPathNotFound) {
    EXPECT_EQ(OpenPort("no/such/dir/x.dat", O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "ZTR"), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), ERROR_PATH_NOT_FOUND);
    EXPECT_THAT(GetErrorText(), ::testing::EndsWith("OpenPort: Error opening no/such/dir/x.dat\n"));
    EXPECT_EQ(portTable[0].inUse, 0);

    EXPECT_EQ(OpenPort("missing.dat", O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "ZTR"), -1);
    EXPECT_EQ(GetErrorSubCode(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
