#include "socket_set_wait.h"

#include <errno.h>
#include <poll.h>

#include <chrono>

int WaitSocketSet(const SOCKET* sockets, int count, int timeoutMs, bool* ready) {
    using Clock = std::chrono::steady_clock;
    if (count < 1 || count > MAX_WAIT_SOCKETS) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    pollfd entries[MAX_WAIT_SOCKETS];
    for (int i = 0; i < count; ++i) {
        entries[i] = {sockets[i], POLLIN, 0};
        ready[i] = false;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int waitMs = timeoutMs;
        if (timeoutMs >= 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        int result = ::poll(entries, static_cast<nfds_t>(count), waitMs);
        if (result < 0 && errno == EINTR) {
            continue;  // a signal is no reason to stop waiting
        }
        if (result < 0) {
            return SOCKET_ERROR;
        }
        int readable = 0;
        for (int i = 0; i < count; ++i) {
            if ((entries[i].revents & POLLNVAL) != 0) {
                errno = EBADF;
                return SOCKET_ERROR;
            }
            ready[i] = (entries[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            readable += ready[i] ? 1 : 0;
        }
        return readable;
    }
}
