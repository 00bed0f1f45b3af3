// Two publishers under one name: the image belongs to whoever published it
// last, whichever of them exits first.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "run_command.h"
#include "vksoc/port/connection_fixture.h"

extern char** environ;

namespace {

using ::testing::HasSubstr;

// The inode the name refers to now, 0 when there is no such object.
ino_t ObjectInode(const std::string& name) {
    int fd = shm_open(("/" + name).c_str(), O_RDONLY, 0);
    if (fd < 0) {
        return 0;
    }
    struct stat status {};
    fstat(fd, &status);
    close(fd);
    return status.st_size == CONFIG_IMAGE_SIZE ? status.st_ino : 0;
}

ino_t WaitForObject(const std::string& name, ino_t other) {
    ino_t inode = 0;
    for (int i = 0; i < 200 && (inode == 0 || inode == other); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        inode = ObjectInode(name);
    }
    return inode;
}

pid_t Publish(const std::string& name, bool replace) {
    std::string binary = std::string(VELK_BINARY_DIR) + "/velkctl";
    const char* argv[] = {
        binary.c_str(), "publish", "--name", name.c_str(), replace ? "--replace" : nullptr,
        nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, binary.c_str(), nullptr, nullptr, const_cast<char* const*>(argv),
                          environ),
              0);
    return pid;
}

int Stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using PublishTest = ConnectionTest;

TEST_F(PublishTest, AReplacedPublisherLeavesTheNewImageAtItsExit) {
    std::string name = "velk-replace-test-" + std::to_string(getpid());
    pid_t first = Publish(name, false);
    ino_t firstImage = WaitForObject(name, 0);
    ASSERT_NE(firstImage, 0u);

    // A second publisher without --replace is told what to do.
    CommandResult refused = RunVelkctl("publish --name " + name);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.output,
                HasSubstr("File exists (17); another publisher holds it, or use --replace"));

    pid_t second = Publish(name, true);
    ino_t secondImage = WaitForObject(name, firstImage);
    ASSERT_NE(secondImage, 0u);
    ASSERT_NE(secondImage, firstImage);

    EXPECT_EQ(Stop(first), 0);
    EXPECT_EQ(ObjectInode(name), secondImage) << "the first publisher removed the new image";
    EXPECT_EQ(Stop(second), 0);
    EXPECT_EQ(ObjectInode(name), 0u);
}

}  // namespace
