#include <openssl/err.h>
#include <openssl/pem.h>

#include <cerrno>
#include <cstring>

#include "tls_openssl.h"

namespace plat {

namespace {

bool Given(const char* path) {
    return path != nullptr && path[0] != '\0';
}

// A file that cannot even be opened is told with the system's reason, which
// OpenSSL's own queue words less plainly.
bool Openable(const char* path, const char* what, char* error, int errorSize) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::snprintf(error, static_cast<size_t>(errorSize), "cannot read %s file %s: %s", what,
                      path, std::strerror(errno));
        return false;
    }
    std::fclose(file);
    return true;
}

void FailFile(const char* what, const char* path, char* error, int errorSize) {
    char reason[TLS_ERROR_TEXT_SIZE];
    TakeLibraryReason(reason, sizeof reason, "no PEM data");
    std::snprintf(error, static_cast<size_t>(errorSize), "cannot read %s file %s: %s", what, path,
                  reason);
}

int ProtocolOf(TlsMinVersion version) {
    return version == TlsMinVersion::Tls13 ? TLS1_3_VERSION : TLS1_2_VERSION;
}

// The certificate chain and its key, the key checked against the
// certificate: a key that belongs to another certificate would show only as
// every handshake failing.
bool LoadPair(SSL_CTX* ctx, const char* certFile, const char* keyFile, char* error, int errorSize) {
    if (!Openable(certFile, "certificate", error, errorSize)) {
        return false;
    }
    if (SSL_CTX_use_certificate_chain_file(ctx, certFile) != 1) {
        FailFile("certificate", certFile, error, errorSize);
        return false;
    }
    if (!Openable(keyFile, "key", error, errorSize)) {
        return false;
    }
    std::FILE* file = std::fopen(keyFile, "rb");
    EVP_PKEY* key =
        file != nullptr ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr) : nullptr;
    if (file != nullptr) {
        std::fclose(file);
    }
    if (key == nullptr) {
        FailFile("key", keyFile, error, errorSize);
        return false;
    }
    const bool used = SSL_CTX_use_PrivateKey(ctx, key) == 1 && SSL_CTX_check_private_key(ctx) == 1;
    EVP_PKEY_free(key);
    if (!used) {
        ERR_clear_error();
        std::snprintf(error, static_cast<size_t>(errorSize),
                      "key file %s does not match certificate file %s", keyFile, certFile);
        return false;
    }
    return true;
}

bool LoadVerifyFile(SSL_CTX* ctx, const char* caFile, char* error, int errorSize) {
    if (!Openable(caFile, "CA", error, errorSize)) {
        return false;
    }
    if (SSL_CTX_load_verify_locations(ctx, caFile, nullptr) != 1) {
        FailFile("CA", caFile, error, errorSize);
        return false;
    }
    return true;
}

std::FILE* OpenKeyLog(SSL_CTX* ctx, const char* path, char* error, int errorSize, bool* ok) {
    *ok = true;
    if (!Given(path)) {
        return nullptr;
    }
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        std::snprintf(error, static_cast<size_t>(errorSize), "cannot open key log file %s: %s",
                      path, std::strerror(errno));
        *ok = false;
        return nullptr;
    }
    SSL_CTX_set_app_data(ctx, file);
    SSL_CTX_set_keylog_callback(ctx, WriteKeyLogLine);
    return file;
}

SSL_CTX* NewContext(const SSL_METHOD* method, TlsMinVersion minVersion, char* error,
                    int errorSize) {
    SSL_CTX* ctx = SSL_CTX_new(method);
    if (ctx == nullptr) {
        char reason[TLS_ERROR_TEXT_SIZE];
        TakeLibraryReason(reason, sizeof reason, "no context");
        std::snprintf(error, static_cast<size_t>(errorSize), "TLS is not available: %s", reason);
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, ProtocolOf(minVersion));
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return ctx;
}

template <class Context>
void FreeContext(Context* context) {
    if (context == nullptr) {
        return;
    }
    SSL_CTX_free(context->ssl);
    if (context->keyLog != nullptr) {
        std::fclose(context->keyLog);
    }
    delete context;
}

// The end of making a context: its key log opened when all else was set up,
// or the context freed (false) when anything failed.
bool Finish(SSL_CTX* ctx, bool ok, const char* keyLogFile, char* error, int errorSize,
            std::FILE** keyLog) {
    if (ok) {
        *keyLog = OpenKeyLog(ctx, keyLogFile, error, errorSize, &ok);
    }
    if (!ok) {
        SSL_CTX_free(ctx);
    }
    return ok;
}

}  // namespace

void WriteKeyLogLine(const SSL* ssl, const char* line) {
    auto* file = static_cast<std::FILE*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (file != nullptr) {
        // Each line whole and at once: a capture may be decrypted while the
        // program still runs.
        std::fprintf(file, "%s\n", line);
        std::fflush(file);
    }
}

TlsServerContext* NewTlsServer(const TlsServerSettings& settings, char* error, int errorSize) {
    SSL_CTX* ctx = NewContext(TLS_server_method(), settings.minVersion, error, errorSize);
    if (ctx == nullptr) {
        return nullptr;
    }
    bool ok = LoadPair(ctx, settings.certFile, settings.keyFile, error, errorSize);
    if (ok && Given(settings.caFile)) {
        ok = LoadVerifyFile(ctx, settings.caFile, error, errorSize);
        if (ok) {
            // The CAs named in the request, so that a client picks the right
            // certificate.
            STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(settings.caFile);
            if (names != nullptr) {
                SSL_CTX_set_client_CA_list(ctx, names);
            }
            ERR_clear_error();
            SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
        }
    }
    // No resumption is offered: every connection makes a full handshake, as
    // a controller's reconnect is tested for.
    SSL_CTX_set_num_tickets(ctx, 0);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    std::FILE* keyLog = nullptr;
    if (!Finish(ctx, ok, settings.keyLogFile, error, errorSize, &keyLog)) {
        return nullptr;
    }
    return new TlsServerContext{ctx, keyLog};
}

void FreeTlsServer(TlsServerContext* context) {
    FreeContext(context);
}

TlsClientContext* NewTlsClient(const TlsClientSettings& settings, char* error, int errorSize) {
    SSL_CTX* ctx = NewContext(TLS_client_method(), settings.minVersion, error, errorSize);
    if (ctx == nullptr) {
        return nullptr;
    }
    bool ok = true;
    if (Given(settings.certFile) || Given(settings.keyFile)) {
        ok = LoadPair(ctx, settings.certFile, settings.keyFile, error, errorSize);
    }
    if (ok && !settings.insecure) {
        if (Given(settings.caFile)) {
            ok = LoadVerifyFile(ctx, settings.caFile, error, errorSize);
        } else if (SSL_CTX_set_default_verify_paths(ctx) != 1) {
            ERR_clear_error();
        }
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    } else if (ok) {
        SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    }
    std::FILE* keyLog = nullptr;
    if (!Finish(ctx, ok, settings.keyLogFile, error, errorSize, &keyLog)) {
        return nullptr;
    }
    return new TlsClientContext{ctx, keyLog};
}

void FreeTlsClient(TlsClientContext* context) {
    FreeContext(context);
}

bool TlsWritesKeyLog() {
    return true;
}

}  // namespace plat
