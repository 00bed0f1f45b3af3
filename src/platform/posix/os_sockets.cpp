#include "os_sockets.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <climits>

#include "platform/stop_request.h"
#include "wsa_errors.h"

int WSAStartup(unsigned short versionRequested, WSADATA* data) {
    if (data != nullptr) {
        data->wVersion = versionRequested;
    }
    return 0;
}

int WSAGetLastError() { return plat::WsaErrorFromErrno(errno); }

int closesocket(SOCKET s) { return ::close(s); }

int ioctlsocket(SOCKET s, unsigned long command, unsigned long* argument) {
    int value = *argument != 0 ? 1 : 0;
    return ::ioctl(s, command, &value);
}

namespace plat {

int recv(SOCKET s, char* buffer, int length, int flags) {
    ssize_t n;
    do {
        n = ::recv(s, buffer, static_cast<size_t>(length), flags);
    } while (n < 0 && errno == EINTR && !StopRequested());
    return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    ssize_t n;
    do {
        n = ::send(s, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional) {
    using Clock = std::chrono::steady_clock;
    *readable = false;
    *exceptional = false;
    const bool limited = timeoutSeconds >= 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limited ? timeoutSeconds : 0);
    pollfd entry{s, POLLIN | POLLPRI, 0};
    for (;;) {
        int waitMs = -1;
        if (limited) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            // poll takes an int of milliseconds: a long wait is done in pieces.
            waitMs = left.count() <= 0 ? 0 : left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
        }
        entry.revents = 0;
        int ready = ::poll(&entry, 1, waitMs);
        if (ready < 0) {
            if (errno == EINTR && !StopRequested()) {
                continue;
            }
            return SOCKET_ERROR;
        }
        if (ready > 0) {
            if ((entry.revents & POLLNVAL) != 0) {
                errno = EBADF;
                return SOCKET_ERROR;
            }
            *readable = (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            *exceptional = (entry.revents & POLLPRI) != 0;
            return 0;
        }
        if (waitMs >= 0 && Clock::now() >= deadline) {
            return 0;
        }
    }
}

int SocketLocalPort(SOCKET s) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

}  // namespace plat
