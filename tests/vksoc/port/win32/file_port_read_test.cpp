// A file port whose read fails reports the system's error number. Windows
// does not open a folder as a file, but a handle to a folder can take the
// place of the port's descriptor: every read from it fails.

#include <fcntl.h>
#include <io.h>

#include <filesystem>
#include <fstream>

#include "os_lowio.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/recv_msg.h"

// After every header of ours: the system's macros share names with ours.
#include <windows.h>

namespace {

using FilePortReadTest = ConnectionTest;

TEST_F(FilePortReadTest, AReadFailureGivesTheSystemErrorNumber) {
    std::ofstream("message.dat", std::ios::binary) << "0800";
    int port = OpenPort("message.dat", O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "C01");
    ASSERT_GE(port, 0) << GetErrorText();

    std::filesystem::create_directory("folder");
    HANDLE folder = CreateFileA("folder", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(folder, INVALID_HANDLE_VALUE);
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(folder), _O_RDONLY);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(_dup2(descriptor, portTable[port].handle), 0);
    _close(descriptor);

    MessageFields fields{};
    EXPECT_EQ(RecvMsg(port, &fields, -1), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), ERROR_INVALID_FUNCTION);
    EXPECT_THAT(GetErrorText(), ::testing::HasSubstr("ReadPort: Error reading from file\n"));
    ClosePort(port);
}

}  // namespace
