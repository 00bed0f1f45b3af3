#include "os_sockets.h"

#include <mstcpip.h>  // SIO_KEEPALIVE_VALS, tcp_keepalive

// Every socket of a wait fits each of select's sets.
static_assert(plat::MAX_WAIT_SOCKETS <= FD_SETSIZE);

namespace plat {

int recv(SOCKET s, char* buffer, int length, int flags) {
    return ::recv(s, buffer, length, flags);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    return ::send(s, buffer, length, flags);
}

namespace {

// One select on s, for reading or for writing, with its exception set, at
// most timeoutSeconds (negative: no limit). Windows Sockets ignores the first
// argument and keeps sockets in an array: one socket always fits, whatever
// its number. Returns 0 (what was found in *ready and *exceptional) or
// SOCKET_ERROR.
int SelectOne(SOCKET s, bool forWrite, int timeoutSeconds, bool* ready, bool* exceptional) {
    fd_set set;
    fd_set exceptSet;
    FD_ZERO(&set);
    FD_ZERO(&exceptSet);
    FD_SET(s, &set);
    FD_SET(s, &exceptSet);
    timeval limit{timeoutSeconds, 0};
    if (::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &exceptSet,
                 timeoutSeconds >= 0 ? &limit : nullptr) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    *ready = FD_ISSET(s, &set) != 0;
    *exceptional = FD_ISSET(s, &exceptSet) != 0;
    return 0;
}

}  // namespace

int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional) {
    *readable = false;
    *exceptional = false;
    return SelectOne(s, false, timeoutSeconds, readable, exceptional);
}

int WaitSockets(WaitEntry* entries, int count, int timeoutMs) {
    if (count < 0 || count > MAX_WAIT_SOCKETS) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    // select, not WSAPoll: WSAPoll refuses POLLPRI, and urgent data must read
    // as exceptional here as in WaitSocket. MAX_WAIT_SOCKETS sockets fit the sets.
    fd_set readSet;
    fd_set writeSet;
    fd_set exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    bool asked = false;
    for (int i = 0; i < count; ++i) {
        WaitEntry& entry = entries[i];
        entry.readable = entry.exceptional = entry.writable = false;
        if (entry.wantRead) {
            FD_SET(entry.socket, &readSet);
            FD_SET(entry.socket, &exceptSet);
            asked = true;
        }
        if (entry.wantWrite) {
            FD_SET(entry.socket, &writeSet);
            // A connection that failed is reported in the exception set.
            FD_SET(entry.socket, &exceptSet);
            asked = true;
        }
    }
    if (!asked) {
        // select with empty sets fails on Windows: the wait is a sleep.
        ::Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        return 0;
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = ::select(0, &readSet, &writeSet, &exceptSet, timeoutMs >= 0 ? &limit : nullptr);
    if (ready == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    int found = 0;
    for (int i = 0; i < count; ++i) {
        WaitEntry& entry = entries[i];
        const bool excepted = FD_ISSET(entry.socket, &exceptSet) != 0;
        entry.readable = entry.wantRead && FD_ISSET(entry.socket, &readSet) != 0;
        entry.exceptional = entry.wantRead && excepted;
        entry.writable = entry.wantWrite && (FD_ISSET(entry.socket, &writeSet) != 0 || excepted);
        found += entry.readable || entry.exceptional || entry.writable ? 1 : 0;
    }
    return found;
}

int ConnectWithin(SOCKET s, const sockaddr* address, int length, int timeoutMs) {
    u_long on = 1;
    u_long off = 0;
    if (::ioctlsocket(s, FIONBIO, &on) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    int error = 0;
    if (::connect(s, address, length) == SOCKET_ERROR) {
        error = ::WSAGetLastError();
    }
    if (error == WSAEWOULDBLOCK) {
        // Success shows in the write set, failure in the exception set.
        fd_set writeSet;
        fd_set exceptSet;
        FD_ZERO(&writeSet);
        FD_ZERO(&exceptSet);
        FD_SET(s, &writeSet);
        FD_SET(s, &exceptSet);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        const int ready = ::select(0, nullptr, &writeSet, &exceptSet, &limit);
        if (ready == SOCKET_ERROR) {
            error = ::WSAGetLastError();
        } else if (ready == 0) {
            error = WSAETIMEDOUT;
        } else if (FD_ISSET(s, &exceptSet) != 0) {
            int size = sizeof error;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) ==
                    SOCKET_ERROR ||
                error == 0) {
                error = WSAECONNREFUSED;
            }
        } else {
            error = 0;
        }
    }
    ::ioctlsocket(s, FIONBIO, &off);
    ::WSASetLastError(error);
    return error == 0 ? 0 : SOCKET_ERROR;
}

int SendNow(SOCKET s, const char* buffer, int length) {
    // Windows Sockets has no per-call "do not wait": the socket is made
    // non-blocking for this one call and blocking again after it.
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    int n = ::send(s, buffer, length, 0);
    int error = n == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    u_long off = 0;
    ::ioctlsocket(s, FIONBIO, &off);
    if (n == SOCKET_ERROR) {
        if (error == WSAEWOULDBLOCK) {
            return 0;
        }
        ::WSASetLastError(error);
    }
    return n;
}

int WaitWritable(SOCKET s, int timeoutSeconds) {
    bool writable = false;
    bool failed = false;
    if (SelectOne(s, true, timeoutSeconds, &writable, &failed) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    return writable || failed ? 1 : 0;
}

int SetConnectionOptions(SOCKET s) {
    const BOOL noDelay = TRUE;
    if (::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                     sizeof noDelay) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    tcp_keepalive times{};
    times.onoff = 1;
    times.keepalivetime = KEEPALIVE_IDLE_SECONDS * 1000;
    times.keepaliveinterval = KEEPALIVE_INTERVAL_SECONDS * 1000;
    DWORD returned = 0;
    if (::WSAIoctl(s, SIO_KEEPALIVE_VALS, &times, sizeof times, nullptr, 0, &returned, nullptr,
                   nullptr) == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    // The probe count can be set since Windows 10 (1703) only; older
    // systems (and Wine) send their fixed ten probes, so a refusal here is
    // no failure.
    constexpr int kTcpKeepCount = 16;  // TCP_KEEPCNT, missing from older headers
    const DWORD probes = KEEPALIVE_PROBES;
    ::setsockopt(s, IPPROTO_TCP, kTcpKeepCount, reinterpret_cast<const char*>(&probes),
                 sizeof probes);
    return 0;
}

int SocketLocalPort(SOCKET s) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

}  // namespace plat
