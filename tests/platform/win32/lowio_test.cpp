#include "os_lowio.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "temp_root.h"

namespace {

// CR LF and 0x1A (the old end-of-file mark) occur in binary bitmaps: a file
// opened without translation keeps them.
TEST(LowIo, ABinaryFileKeepsCrLfAndTheEndOfFileMark) {
    TempRoot root;
    std::string path = (root.root() / "message.dat").string();
    int fd = plat::_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY,
                         plat::PERMIT_READ_WRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plat::_write(fd, "0200\r\n\x1a\n", 8), 8);
    EXPECT_EQ(plat::_close(fd), 0);
    EXPECT_EQ(ReadFile(path), "0200\r\n\x1a\n");

    fd = plat::_open(path.c_str(), O_RDONLY | plat::OPEN_BINARY, 0);
    char buffer[16];
    EXPECT_EQ(plat::_read(fd, buffer, sizeof buffer), 8);
    EXPECT_EQ(std::string(buffer, 8), "0200\r\n\x1a\n");
    EXPECT_EQ(plat::_read(fd, buffer, sizeof buffer), 0);
    plat::_close(fd);

    // The same bytes through a translating open stop at the mark.
    fd = plat::_open(path.c_str(), O_RDONLY | O_TEXT, 0);
    EXPECT_EQ(plat::_read(fd, buffer, sizeof buffer), 5);
    plat::_close(fd);
}

TEST(LowIo, ACreatedFileMayBeWrittenAgain) {
    TempRoot root;
    std::string path = (root.root() / "again.dat").string();
    int fd = plat::_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY,
                         plat::PERMIT_READ_WRITE);
    ASSERT_GE(fd, 0);
    plat::_close(fd);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    fd = plat::_open(path.c_str(), O_WRONLY | O_TRUNC | plat::OPEN_BINARY, 0);
    EXPECT_GE(fd, 0);
    plat::_close(fd);
}

TEST(LowIo, AFailedOpenTellsTheSystemErrorNumber) {
    TempRoot root;
    EXPECT_LT(plat::_open("missing.dat", O_RDONLY, 0), 0);
    EXPECT_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_LT(plat::_open("no/such/file.dat", O_RDONLY, 0), 0);
    EXPECT_EQ(plat::GetLastError(), ERROR_PATH_NOT_FOUND);
}

}  // namespace
