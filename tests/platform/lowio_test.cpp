#include "os_lowio.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "temp_root.h"

namespace {

TEST(LowIo, CreatesWritesAndReadsBackAFileWithOwnerOnlyPermission) {
    TempRoot root;
    std::string path = (root.root() / "message.dat").string();
    int fd = plat::_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY,
                         plat::PERMIT_READ_WRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plat::_write(fd, "0200\r\n\x1c", 7), 7);
    EXPECT_EQ(plat::_close(fd), 0);

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    fd = plat::_open(path.c_str(), O_RDONLY | plat::OPEN_BINARY, 0);
    char buffer[16];
    EXPECT_EQ(plat::_read(fd, buffer, sizeof buffer), 7);  // no newline translation
    EXPECT_EQ(std::string(buffer, 7), "0200\r\n\x1c");
    EXPECT_EQ(plat::_read(fd, buffer, sizeof buffer), 0);
    plat::_close(fd);
}

TEST(LowIo, AFailedOpenTellsTheSystemErrorNumber) {
    TempRoot root;
    EXPECT_LT(plat::_open("no/such/file.dat", O_RDONLY, 0), 0);
    EXPECT_EQ(plat::GetLastError(), ENOENT);
}

}  // namespace
