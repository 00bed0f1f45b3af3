#include "loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

sockaddr_in Loopback(int tcpPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<unsigned short>(tcpPort));
    return address;
}

}  // namespace

Peer Peer::Connect(int tcpPort) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    sockaddr_in address = Loopback(tcpPort);
    EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
        << "connect to " << tcpPort << ": " << WSAGetLastError();
    return Peer(s);
}

void Peer::Send(const std::string& bytes) const {
    int sent = 0;
    while (sent < static_cast<int>(bytes.size())) {
        int n = plat::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size()) - sent, 0);
        ASSERT_GT(n, 0) << WSAGetLastError();
        sent += n;
    }
}

void Peer::SendUrgent(char byte) const {
    ASSERT_EQ(plat::send(socket_, &byte, 1, MSG_OOB), 1) << WSAGetLastError();
}

std::string Peer::Receive(int count) const {
    std::string bytes;
    char chunk[4096];
    while (static_cast<int>(bytes.size()) < count) {
        int want = count - static_cast<int>(bytes.size());
        int n = plat::recv(socket_, chunk, want < 4096 ? want : 4096, 0);
        if (n <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    return bytes;
}

void Peer::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

void Peer::Reset() {
    linger abort{1, 0};
    setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    Close();
}

Listener::Listener() {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    EXPECT_EQ(bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(socket_, 4), 0);
    port_ = plat::SocketLocalPort(socket_);
}

Peer Listener::Accept() const {
    return Peer(accept(socket_, nullptr, nullptr));
}

void Listener::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

LoopbackPair::LoopbackPair() {
    Listener listener;
    near = Peer::Connect(listener.port()).Release();
    far = listener.Accept().Release();
}

LoopbackPair::~LoopbackPair() {
    if (near != INVALID_SOCKET) {
        closesocket(near);
    }
    if (far != INVALID_SOCKET) {
        closesocket(far);
    }
}

int FreePort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    int port = plat::SocketLocalPort(s);
    closesocket(s);
    return port;
}

int ConnectWhenListening(int port, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(port);
        if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return static_cast<int>(s);
        }
        closesocket(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = plat::send(static_cast<SOCKET>(fd), bytes.data() + sent,
                           static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

void ClosePeer(int fd) {
    closesocket(static_cast<SOCKET>(fd));
}

namespace {

// Waits for the socket to become readable; false on a time-out.
bool Readable(int fd, int milliseconds) {
    plat::WaitEntry entry{static_cast<SOCKET>(fd), true, false, false, false, false};
    return plat::WaitSockets(&entry, 1, milliseconds) > 0 && entry.readable;
}

}  // namespace

std::string ReceiveBytes(int fd, size_t count, int seconds) {
    std::string received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (received.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd, static_cast<int>(left.count()))) {
            break;
        }
        char buffer[4096];
        int n = plat::recv(static_cast<SOCKET>(fd), buffer,
                           static_cast<int>(std::min(sizeof buffer, count - received.size())), 0);
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

bool PeerClosed(int fd, int seconds) {
    if (!Readable(fd, seconds * 1000)) {
        return false;
    }
    char byte;
    return plat::recv(static_cast<SOCKET>(fd), &byte, 1, 0) == 0;
}
