#include "os_sockets.h"

#include <errno.h>
#include <netinet/tcp.h>
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

int WSAGetLastError() {
    return plat::WsaErrorFromErrno(errno);
}

int closesocket(SOCKET s) {
    return ::close(s);
}

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

namespace {

// A stop signal that lands after the caller looked at the stop request but
// before poll began would not interrupt the wait: waits are made in pieces of
// at most this long, and a stop requested meanwhile ends them as the signal
// would have.
constexpr int STOP_CHECK_MS = 200;

// One poll on s for events, at most timeoutSeconds (negative: no limit),
// repeated after a signal and in pieces for a long wait. Returns the events
// that happened (0 on a time-out) or SOCKET_ERROR (errno EINTR: a stop was
// requested).
int PollOne(SOCKET s, short events, int timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const bool limited = timeoutSeconds >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::seconds(limited ? timeoutSeconds : 0);
    pollfd entry{s, events, 0};
    for (;;) {
        int waitMs = STOP_CHECK_MS;
        if (limited) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = left.count() <= 0              ? 0
                     : left.count() > STOP_CHECK_MS ? STOP_CHECK_MS
                                                    : static_cast<int>(left.count());
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
            return entry.revents;
        }
        if (StopRequested()) {
            errno = EINTR;
            return SOCKET_ERROR;
        }
        if (limited && Clock::now() >= deadline) {
            return 0;
        }
    }
}

}  // namespace

int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional) {
    *readable = false;
    *exceptional = false;
    int events = PollOne(s, POLLIN | POLLPRI, timeoutSeconds);
    if (events == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    *readable = (events & (POLLIN | POLLHUP | POLLERR)) != 0;
    *exceptional = (events & POLLPRI) != 0;
    return 0;
}

int SendNow(SOCKET s, const char* buffer, int length) {
    ssize_t n;
    do {
        n = ::send(s, buffer, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return 0;
    }
    return static_cast<int>(n);
}

int ConnectWithin(SOCKET s, const sockaddr* address, int length, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    unsigned long on = 1;
    unsigned long off = 0;
    if (ioctlsocket(s, FIONBIO, &on) != 0) {
        return SOCKET_ERROR;
    }
    int error = 0;
    if (::connect(s, address, static_cast<socklen_t>(length)) != 0) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EINTR) {
        // The outcome arrives as writability, and SO_ERROR tells which.
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        pollfd entry{s, POLLOUT, 0};
        for (;;) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                error = ETIMEDOUT;
                break;
            }
            entry.revents = 0;
            const int ready = ::poll(&entry, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
            if (ready < 0 && errno != EINTR) {
                error = errno;
                break;
            }
            if (ready > 0) {
                socklen_t size = sizeof error;
                if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                    error = errno;
                }
                break;
            }
        }
    }
    ioctlsocket(s, FIONBIO, &off);
    errno = error;
    return error == 0 ? 0 : SOCKET_ERROR;
}

int WaitWritable(SOCKET s, int timeoutSeconds) {
    int events = PollOne(s, POLLOUT, timeoutSeconds);
    if (events == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    return (events & (POLLOUT | POLLHUP | POLLERR)) != 0 ? 1 : 0;
}

int SetConnectionOptions(SOCKET s) {
    const int on = 1;
    const int idle = KEEPALIVE_IDLE_SECONDS;
    const int interval = KEEPALIVE_INTERVAL_SECONDS;
    const int probes = KEEPALIVE_PROBES;
    if (::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0 ||
        ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) != 0 ||
        ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) != 0 ||
        ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) != 0 ||
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        return SOCKET_ERROR;
    }
    return 0;
}

int WaitSockets(WaitEntry* entries, int count, int timeoutMs) {
    if (count < 0 || count > MAX_WAIT_SOCKETS) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    // An entry that asks nothing gets a negative descriptor: poll passes it over.
    pollfd polled[MAX_WAIT_SOCKETS];
    for (int i = 0; i < count; ++i) {
        WaitEntry& entry = entries[i];
        entry.readable = entry.exceptional = entry.writable = false;
        short events = static_cast<short>((entry.wantRead ? POLLIN | POLLPRI : 0) |
                                          (entry.wantWrite ? POLLOUT : 0));
        polled[i] = pollfd{events != 0 ? entry.socket : -1, events, 0};
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int ready = 0;
    for (;;) {
        int waitMs = STOP_CHECK_MS;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            waitMs = left <= 0 ? 0 : left > STOP_CHECK_MS ? STOP_CHECK_MS : static_cast<int>(left);
        }
        ready = ::poll(polled, static_cast<nfds_t>(count), waitMs);
        if (ready < 0) {
            return errno == EINTR ? 0 : SOCKET_ERROR;
        }
        // A stop requested meanwhile ends the wait as its signal would have.
        if (ready > 0 || StopRequested() || (timeoutMs >= 0 && Clock::now() >= deadline)) {
            break;
        }
    }
    for (int i = 0; ready > 0 && i < count; ++i) {
        WaitEntry& entry = entries[i];
        const short found = polled[i].revents;
        const bool failed = (found & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        entry.readable = entry.wantRead && (failed || (found & POLLIN) != 0);
        entry.exceptional = entry.wantRead && (found & POLLPRI) != 0;
        entry.writable = entry.wantWrite && (failed || (found & POLLOUT) != 0);
    }
    return ready;
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
