// The contract for a build without a TLS backend: every context is refused
// with the reason, so that a TLS port is never served in plain text.

#include <cstdio>

#include "platform/tls_contract.h"

namespace plat {

namespace {

constexpr const char* ABSENT = "TLS is not available: this build has no TLS backend";

void Refuse(char* error, int errorSize) {
    std::snprintf(error, static_cast<size_t>(errorSize), "%s", ABSENT);
}

}  // namespace

TlsServerContext* NewTlsServer(const TlsServerSettings&, char* error, int errorSize) {
    Refuse(error, errorSize);
    return nullptr;
}

void FreeTlsServer(TlsServerContext*) {}

TlsClientContext* NewTlsClient(const TlsClientSettings&, char* error, int errorSize) {
    Refuse(error, errorSize);
    return nullptr;
}

void FreeTlsClient(TlsClientContext*) {}

bool TlsWritesKeyLog() {
    return false;
}

TlsSession* NewTlsServerSession(TlsServerContext*, SOCKET, char* error, int errorSize) {
    Refuse(error, errorSize);
    return nullptr;
}

TlsSession* NewTlsClientSession(TlsClientContext*, SOCKET, const char*, char* error,
                                int errorSize) {
    Refuse(error, errorSize);
    return nullptr;
}

int TlsHandshake(TlsSession*) {
    return TLS_FAILED;
}

int TlsRead(TlsSession*, char*, int) {
    return TLS_FAILED;
}

int TlsPending(TlsSession*) {
    return 0;
}

int TlsWrite(TlsSession*, const char*, int) {
    return TLS_FAILED;
}

void TlsClose(TlsSession*) {}

const char* TlsError(const TlsSession*) {
    return ABSENT;
}

int TlsSocketError(const TlsSession*) {
    return 0;
}

const char* TlsProtocol(const TlsSession*) {
    return "";
}

}  // namespace plat
