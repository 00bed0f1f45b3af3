#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <new>

#include "tls_openssl.h"

namespace plat {

namespace {

TlsSession* NewSession(SSL_CTX* ctx, SOCKET s, char* error, int errorSize) {
    auto* session = new (std::nothrow) TlsSession;
    SSL* ssl = session != nullptr ? SSL_new(ctx) : nullptr;
    BIO* bio = ssl != nullptr ? BIO_new(SocketBioMethod()) : nullptr;
    if (bio == nullptr) {
        SSL_free(ssl);
        delete session;
        ERR_clear_error();
        std::snprintf(error, static_cast<size_t>(errorSize), "no memory for a TLS session");
        return nullptr;
    }
    BIO_set_data(bio, session);
    SSL_set_bio(ssl, bio, bio);
    session->ssl = ssl;
    session->socket = s;
    return session;
}

// The name a certificate must carry: an address literal is matched against
// the certificate's addresses, anything else against its DNS names.
bool IsAddress(const char* name) {
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(name);
    ASN1_OCTET_STRING_free(address);
    return address != nullptr;
}

// What the call that returned `result` means, in the contract's terms.
int Outcome(TlsSession* session, int result) {
    const int kind = SSL_get_error(session->ssl, result);
    switch (kind) {
        case SSL_ERROR_NONE:
            return result;
        case SSL_ERROR_WANT_READ:
            return TLS_WANT_READ;
        case SSL_ERROR_WANT_WRITE:
            return TLS_WANT_WRITE;
        case SSL_ERROR_ZERO_RETURN:
            return 0;
        default:
            break;
    }
    session->failed = true;
    if (kind == SSL_ERROR_SYSCALL && session->socketError != 0) {
        ERR_clear_error();
        std::snprintf(session->error, sizeof session->error, "socket error %d",
                      session->socketError);
        return TLS_SOCKET_FAILED;
    }
    const unsigned long code = ERR_peek_error();
    TakeLibraryReason(session->error, sizeof session->error, "unexpected eof while reading");
    if (ERR_GET_REASON(code) == SSL_R_CERTIFICATE_VERIFY_FAILED) {
        const long verify = SSL_get_verify_result(session->ssl);
        const size_t used = std::strlen(session->error);
        std::snprintf(session->error + used, sizeof session->error - used, ": %s",
                      X509_verify_cert_error_string(verify));
    }
    return TLS_FAILED;
}

}  // namespace

TlsSession* NewTlsServerSession(TlsServerContext* context, SOCKET s, char* error, int errorSize) {
    TlsSession* session = NewSession(context->ssl, s, error, errorSize);
    if (session != nullptr) {
        SSL_set_accept_state(session->ssl);
    }
    return session;
}

TlsSession* NewTlsClientSession(TlsClientContext* context, SOCKET s, const char* serverName,
                                char* error, int errorSize) {
    TlsSession* session = NewSession(context->ssl, s, error, errorSize);
    if (session == nullptr) {
        return nullptr;
    }
    SSL* ssl = session->ssl;
    SSL_set_connect_state(ssl);
    if (serverName != nullptr && serverName[0] != '\0') {
        const bool address = IsAddress(serverName);
        if (!address) {
            SSL_set_tlsext_host_name(ssl, serverName);
        }
        if (SSL_get_verify_mode(ssl) != SSL_VERIFY_NONE) {
            X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
            if (address) {
                X509_VERIFY_PARAM_set1_ip_asc(param, serverName);
            } else {
                SSL_set1_host(ssl, serverName);
            }
        }
    }
    ERR_clear_error();
    return session;
}

int TlsHandshake(TlsSession* session) {
    session->socketError = 0;
    const int result = SSL_do_handshake(session->ssl);
    if (result == 1) {
        session->established = true;
        return 0;
    }
    const int outcome = Outcome(session, result);
    if (outcome == 0) {
        // close_notify before the handshake was done.
        session->failed = true;
        std::snprintf(session->error, sizeof session->error,
                      "the peer closed the connection during the handshake");
        return TLS_FAILED;
    }
    return outcome;
}

int TlsRead(TlsSession* session, char* buffer, int length) {
    session->socketError = 0;
    return Outcome(session, SSL_read(session->ssl, buffer, length));
}

int TlsPending(TlsSession* session) {
    const int decrypted = SSL_pending(session->ssl);
    return decrypted > 0 ? decrypted : HoldsWholeRecord(*session) ? 1 : 0;
}

int TlsWrite(TlsSession* session, const char* buffer, int length) {
    session->socketError = 0;
    const int outcome = Outcome(session, SSL_write(session->ssl, buffer, length));
    if (outcome == 0) {
        // A write never ends the stream: the peer's close_notify came first.
        session->failed = true;
        std::snprintf(session->error, sizeof session->error, "the peer closed the connection");
        return TLS_FAILED;
    }
    return outcome;
}

void TlsClose(TlsSession* session) {
    if (session == nullptr) {
        return;
    }
    if (session->established && !session->failed) {
        // One try: a peer that does not read gets no close_notify.
        SSL_shutdown(session->ssl);
    }
    SSL_free(session->ssl);
    ERR_clear_error();
    delete session;
}

const char* TlsError(const TlsSession* session) {
    return session->error;
}

int TlsSocketError(const TlsSession* session) {
    return session->failed ? session->socketError : 0;
}

const char* TlsProtocol(const TlsSession* session) {
    return session->established ? SSL_get_version(session->ssl) : "";
}

}  // namespace plat
