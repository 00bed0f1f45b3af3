#pragma once

// The Windows Sockets 1.1 vocabulary on POSIX sockets. The connection layer
// is written in that vocabulary; on Windows the names are the system's own.
// Every failure is reported through WSAGetLastError() as a Windows Sockets
// number (platform/wsa_codes.h), so logs read the same on every platform.

#include <arpa/inet.h>   // inet_addr, htons
#include <netdb.h>       // getaddrinfo, getnameinfo
#include <netinet/in.h>  // sockaddr_in, INADDR_ANY, INADDR_NONE, IPPROTO_TCP
#include <sys/ioctl.h>   // FIONBIO
#include <sys/socket.h>  // socket, setsockopt, bind, listen, accept, connect, MSG_PEEK

#include "platform/wsa_codes.h"

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

struct WSADATA {
    unsigned short wVersion;
};

// Nothing to start on POSIX: always 0.
int WSAStartup(unsigned short versionRequested, WSADATA* data);
// The Windows Sockets number of the last failed socket call.
int WSAGetLastError();
int closesocket(SOCKET s);
// FIONBIO only: *argument non-zero makes the socket non-blocking.
int ioctlsocket(SOCKET s, unsigned long command, unsigned long* argument);

// The contract every backend shares (plat::recv, WaitSockets, ...).
#include "platform/socket_contract.h"
