#pragma once

// What the OpenSSL backend's contexts and sessions are; private to this
// folder, the only place that includes OpenSSL's headers.

#include <openssl/ssl.h>

#include <cstdio>

#include "platform/tls_contract.h"

namespace plat {

struct TlsServerContext {
    SSL_CTX* ssl = nullptr;
    std::FILE* keyLog = nullptr;  // SSLKEYLOGFILE, appended to; null: none
};

struct TlsClientContext {
    SSL_CTX* ssl = nullptr;
    std::FILE* keyLog = nullptr;
};

// A TLS record's header, and the most a record of ciphertext holds
// (2^14 bytes of data, and what encryption adds).
inline constexpr int TLS_RECORD_HEADER = 5;
inline constexpr int TLS_RECORD_MOST = TLS_RECORD_HEADER + 16384 + 256;

struct TlsSession {
    SSL* ssl = nullptr;
    SOCKET socket = INVALID_SOCKET;
    // What one recv brought and OpenSSL has not taken yet: OpenSSL reads a
    // record's header and then its body, and both come from here, so a
    // message costs one recv, not two. input[inputStart, inputEnd).
    unsigned char input[TLS_RECORD_MOST];
    int inputStart = 0;
    int inputEnd = 0;
    int socketError = 0;  // the last socket call that failed, 0 when none
    bool endOfStream = false;
    bool failed = false;  // no close_notify may follow
    bool established = false;
    char error[TLS_ERROR_TEXT_SIZE] = "";
};

// The method of the BIO every session reads and writes its socket with:
// plat::recv and plat::send, so that a peer that has gone never raises
// SIGPIPE and socket failures are Windows Sockets numbers.
const BIO_METHOD* SocketBioMethod();

// Whether the session's input holds a whole record that no recv brought to
// OpenSSL yet (a wait on the socket shows nothing of it).
bool HoldsWholeRecord(const TlsSession& session);

// The reason of the earliest error in OpenSSL's queue ("no start line"),
// or `otherwise` when the queue is empty; the queue is cleared.
void TakeLibraryReason(char* text, int size, const char* otherwise);

// The key-log callback of a context whose app data is its key-log file.
void WriteKeyLogLine(const SSL* ssl, const char* line);

}  // namespace plat
