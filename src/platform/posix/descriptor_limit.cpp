#include "platform/descriptor_limit.h"

#include <sys/resource.h>

#include <climits>

int OpenDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > static_cast<rlim_t>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(limit.rlim_cur);
}
