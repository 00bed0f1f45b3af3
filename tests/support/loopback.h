#pragma once

// TCP over 127.0.0.1 for the tests, written once in the Windows Sockets
// vocabulary of the platform layer, so that every system runs the same
// helpers. Ports are always the ones the system hands out.

#include <cstddef>
#include <string>
#include <utility>

#include "os_sockets.h"

// A TCP client on 127.0.0.1 playing the controller, or the far end of a
// client port. Closes its socket when destroyed.
class Peer {
  public:
    explicit Peer(SOCKET s = INVALID_SOCKET) : socket_(s) {}
    ~Peer() { Close(); }
    Peer(Peer&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    Peer& operator=(Peer&& other) noexcept {
        Close();
        socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        return *this;
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    static Peer Connect(int tcpPort);
    SOCKET socket() const { return socket_; }
    // The socket is the caller's from now on.
    SOCKET Release() { return std::exchange(socket_, INVALID_SOCKET); }
    void Send(const std::string& bytes) const;
    void SendUrgent(char byte) const;
    // Reads until `count` bytes arrived or the stream ended.
    std::string Receive(int count) const;
    void Close();
    // Closes with SO_LINGER 0: the other side sees a reset, not an end.
    void Reset();

  private:
    SOCKET socket_;
};

// A raw listening socket on 127.0.0.1 and a port the system chose, for
// client ports to connect to.
class Listener {
  public:
    Listener();
    ~Listener() { Close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int port() const { return port_; }
    Peer Accept() const;
    void Close();

  private:
    SOCKET socket_;
    int port_;
};

// A connected pair of TCP sockets over 127.0.0.1 on a port the system chose;
// both are closed when the pair goes (a test that closes one itself sets it
// to INVALID_SOCKET).
struct LoopbackPair {
    SOCKET near = INVALID_SOCKET;
    SOCKET far = INVALID_SOCKET;

    LoopbackPair();
    ~LoopbackPair();
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;
};

// A TCP port of 127.0.0.1 that nobody listened on a moment ago.
int FreePort();

// Connections held as plain numbers (the socket as an int), for the tests
// that drive a responder process.
// Connects to 127.0.0.1:port, retrying while the responder starts; -1 when it
// never listens within the seconds given.
int ConnectWhenListening(int port, int seconds);
void SendAll(int fd, const std::string& bytes);
// Closes a connection made by ConnectWhenListening.
void ClosePeer(int fd);
// Reads exactly count bytes, or what came before the peer closed or the
// time-out.
std::string ReceiveBytes(int fd, size_t count, int seconds = 5);
// True when the peer closed the connection within the time-out.
bool PeerClosed(int fd, int seconds = 5);
