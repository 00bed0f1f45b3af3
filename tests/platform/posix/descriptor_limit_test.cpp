// The descriptor limit as the process's own ulimit -n sets it; lowered in a
// child, so that the test program keeps its own.

#include "platform/descriptor_limit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's exit status: 0 when the limit read back is the one set.
int ReadsBackInAChild(rlim_t soft) {
    pid_t child = fork();
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = soft;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            _exit(2);
        }
        _exit(OpenDescriptorLimit() == static_cast<int>(soft) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DescriptorLimit, IsTheSoftLimitOfThisProcess) {
    for (rlim_t soft : {rlim_t{30}, rlim_t{64}}) {
        EXPECT_EQ(ReadsBackInAChild(soft), 0) << soft;
    }
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(static_cast<rlim_t>(OpenDescriptorLimit()), limit.rlim_cur);
}

}  // namespace
