// What only a POSIX shared-memory object can be: created empty.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "vksoc/port/shared_image_fixture.h"
#include "vksoc/port/shm_attach.h"

namespace {

using ::testing::EndsWith;

TEST_F(SharedConfigTest, AnEmptyObjectCannotBeAttached) {
    std::string name = UniqueName("empty");
    int fd = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    shm_unlink(("/" + name).c_str());
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Error " + std::to_string(EINVAL) + " attaching to shm\n"));
}

}  // namespace
