#include <algorithm>
#include <cstring>

#include "tls_openssl.h"

namespace plat {

namespace {

TlsSession* SessionOf(BIO* bio) {
    return static_cast<TlsSession*>(BIO_get_data(bio));
}

int Write(BIO* bio, const char* data, int length) {
    TlsSession* session = SessionOf(bio);
    BIO_clear_retry_flags(bio);
    int n = plat::send(session->socket, data, length, 0);
    if (n >= 0) {
        return n;
    }
    const int wsa = WSAGetLastError();
    if (wsa == WSAEWOULDBLOCK) {
        BIO_set_retry_write(bio);
    } else {
        session->socketError = wsa;
    }
    return -1;
}

int TakeInput(TlsSession* session, char* data, int length) {
    const int n = std::min(length, session->inputEnd - session->inputStart);
    std::memcpy(data, session->input + session->inputStart, static_cast<size_t>(n));
    session->inputStart += n;
    return n;
}

int Read(BIO* bio, char* data, int length) {
    TlsSession* session = SessionOf(bio);
    BIO_clear_retry_flags(bio);
    if (session->inputStart < session->inputEnd) {
        return TakeInput(session, data, length);
    }
    session->inputStart = 0;
    session->inputEnd = 0;
    int n = plat::recv(session->socket, reinterpret_cast<char*>(session->input),
                       static_cast<int>(sizeof session->input), 0);
    if (n > 0) {
        session->inputEnd = n;
        return TakeInput(session, data, length);
    }
    if (n == 0) {
        session->endOfStream = true;
        return 0;
    }
    const int wsa = WSAGetLastError();
    if (wsa == WSAEWOULDBLOCK) {
        BIO_set_retry_read(bio);
    } else {
        session->socketError = wsa;
    }
    return -1;
}

long Control(BIO* bio, int command, long, void*) {
    switch (command) {
        case BIO_CTRL_FLUSH:
            return 1;
        case BIO_CTRL_EOF:
            // OpenSSL tells a stream that ends without close_notify by this.
            return SessionOf(bio)->endOfStream ? 1 : 0;
        default:
            return 0;
    }
}

int Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* MakeMethod() {
    BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velk socket");
    if (method != nullptr) {
        BIO_meth_set_write(method, Write);
        BIO_meth_set_read(method, Read);
        BIO_meth_set_ctrl(method, Control);
        BIO_meth_set_create(method, Create);
    }
    return method;
}

}  // namespace

bool HoldsWholeRecord(const TlsSession& session) {
    const int held = session.inputEnd - session.inputStart;
    if (held < TLS_RECORD_HEADER) {
        return false;
    }
    const unsigned char* header = session.input + session.inputStart;
    return held >= TLS_RECORD_HEADER + (header[3] << 8 | header[4]);
}

const BIO_METHOD* SocketBioMethod() {
    static BIO_METHOD* method = MakeMethod();
    return method;
}

}  // namespace plat
