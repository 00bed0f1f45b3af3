#include "tls_schannel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

// A TLS session over a non-blocking socket with the system's TLS (Schannel),
// which only transforms buffers: the session does the socket work, holds the
// bytes received and not yet consumed, the bytes decrypted and not yet
// read, and the bytes encrypted and not yet sent.
//
// Hazards:
// - DecryptMessage is handed exactly one whole record at a time. Some
//   implementations (Wine) decrypt every record they are given in one call,
//   swallow a close_notify among them and read a record's length from
//   fewer than 5 bytes; one record per call avoids all three, and a record
//   of content type 21 (alert) that decrypts to nothing is the peer's
//   close_notify where SEC_I_CONTEXT_EXPIRED is not reported.
// - The bytes after the last handshake record are the peer's first
//   application data (SECBUFFER_EXTRA): kept, and counted by TlsPending.
// - A record encrypted and not wholly sent stays here; TlsWrite sends it
//   first on the next call and only then reports its bytes as taken.

namespace plat {

namespace {

// The largest TLS record: a 5-byte header and 2^14 + 2048 bytes of body.
constexpr size_t kMaxRecord = 5 + 16384 + 2048;
// What the handshake may hold received and not yet consumed: a flight of
// several records.
constexpr size_t kInputCapacity = 4 * kMaxRecord;
constexpr BYTE kAlertRecord = 21;

enum class State { Handshake, Open, Failed };

}  // namespace

struct TlsSession {
    SOCKET socket = INVALID_SOCKET;
    bool server = false;
    CredHandle* credential = nullptr;
    HCERTSTORE trusted = nullptr;  // the CAs the peer's certificate must verify against
    bool verifyPeer = false;
    std::wstring serverNameWide;  // the name sent in the hello (client, DNS names only)
    std::string serverName;       // the name the server's certificate must carry

    CtxtHandle context{};
    bool haveContext = false;
    State state = State::Handshake;
    bool needInput = false;
    bool peerClosed = false;
    int failure = 0;  // TLS_FAILED or TLS_SOCKET_FAILED once failed
    int socketError = 0;
    std::string error;
    const char* protocol = "";
    SecPkgContext_StreamSizes sizes{};

    std::vector<char> in;  // received, not consumed: in[0, inLength)
    size_t inLength = 0;
    std::vector<char> plain;  // decrypted, not read: plain[plainStart, +plainLength)
    size_t plainStart = 0;
    size_t plainLength = 0;
    std::vector<char> out;  // to send: out[outStart, outLength)
    size_t outStart = 0;
    size_t outLength = 0;
    int writeTaken = 0;  // the plaintext count of the record in out (0: a control token)
};

namespace {

using schannel::StatusText;

int Fail(TlsSession* session, const std::string& reason) {
    session->state = State::Failed;
    session->failure = TLS_FAILED;
    session->error = reason;
    return TLS_FAILED;
}

int FailSocket(TlsSession* session) {
    session->state = State::Failed;
    session->failure = TLS_SOCKET_FAILED;
    session->socketError = WSAGetLastError();
    session->error = "socket error " + std::to_string(session->socketError);
    return TLS_SOCKET_FAILED;
}

// Sends what out holds without waiting: 0 when it is all sent,
// TLS_WANT_WRITE, or TLS_SOCKET_FAILED.
int Flush(TlsSession* session) {
    while (session->outStart < session->outLength) {
        // plat::send, not SendNow: SendNow leaves the socket blocking, and the
        // caller's socket stays non-blocking for the session's life.
        const int sent = plat::send(session->socket, session->out.data() + session->outStart,
                                    static_cast<int>(session->outLength - session->outStart), 0);
        if (sent == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK) {
                return TLS_WANT_WRITE;
            }
            return FailSocket(session);
        }
        session->outStart += static_cast<size_t>(sent);
    }
    session->outStart = 0;
    session->outLength = 0;
    return 0;
}

void Queue(TlsSession* session, const void* bytes, size_t length) {
    if (session->outLength + length > session->out.size()) {
        session->out.resize(session->outLength + length);
    }
    std::memcpy(session->out.data() + session->outLength, bytes, length);
    session->outLength += length;
}

// Reads what the socket has: 1 with bytes added, TLS_WANT_READ, 0 at the end
// of the stream, or TLS_SOCKET_FAILED.
int Fill(TlsSession* session) {
    if (session->inLength == session->in.size()) {
        return 1;  // full: the caller consumes first (or finds a record too long)
    }
    const int got = plat::recv(session->socket, session->in.data() + session->inLength,
                               static_cast<int>(session->in.size() - session->inLength), 0);
    if (got > 0) {
        session->inLength += static_cast<size_t>(got);
        return 1;
    }
    if (got == 0) {
        return 0;
    }
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
        return TLS_WANT_READ;
    }
    return FailSocket(session);
}

void Consume(TlsSession* session, size_t count) {
    std::memmove(session->in.data(), session->in.data() + count, session->inLength - count);
    session->inLength -= count;
}

// One call of the handshake function of the session's side, with input (the
// held bytes; none: the client's first call) and the output token queued.
// *extra is how many of the held bytes were not consumed.
SECURITY_STATUS HandshakeCall(TlsSession* session, bool withInput, size_t* extra) {
    SecBuffer in[2] = {{static_cast<ULONG>(session->inLength), SECBUFFER_TOKEN, session->in.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc input{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc output{SECBUFFER_VERSION, 1, out};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status;
    CtxtHandle* current = session->haveContext ? &session->context : nullptr;
    if (session->server) {
        ULONG wanted = ASC_REQ_SEQUENCE_DETECT | ASC_REQ_REPLAY_DETECT | ASC_REQ_CONFIDENTIALITY |
                       ASC_REQ_EXTENDED_ERROR | ASC_REQ_ALLOCATE_MEMORY | ASC_REQ_STREAM;
        if (session->verifyPeer) {
            wanted |= ASC_REQ_MUTUAL_AUTH;
        }
        status = AcceptSecurityContext(session->credential, current, &input, wanted, 0,
                                       &session->context, &output, &attributes, &expiry);
    } else {
        const ULONG wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                             ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                             ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                             ISC_REQ_MANUAL_CRED_VALIDATION | ISC_REQ_USE_SUPPLIED_CREDS;
        SEC_WCHAR* target = session->serverNameWide.empty()
                                ? nullptr
                                : const_cast<SEC_WCHAR*>(session->serverNameWide.c_str());
        status = InitializeSecurityContextW(session->credential, current, target, wanted, 0, 0,
                                            withInput ? &input : nullptr, 0, &session->context,
                                            &output, &attributes, &expiry);
    }
    // A first call that fails makes no context; a later one leaves it to
    // be deleted.
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
        status == SEC_I_INCOMPLETE_CREDENTIALS) {
        session->haveContext = true;
    }
    if (out[0].pvBuffer != nullptr) {
        // On a failure this is the alert that tells the peer.
        Queue(session, out[0].pvBuffer, out[0].cbBuffer);
        FreeContextBuffer(out[0].pvBuffer);
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        *extra = session->inLength;
    } else if (in[1].BufferType == SECBUFFER_EXTRA) {
        *extra = in[1].cbBuffer;
    } else {
        *extra = 0;
    }
    return status;
}

const char* ProtocolName(DWORD protocol) {
    if ((protocol & SP_PROT_TLS1_3) != 0) {
        return "TLSv1.3";
    }
    if ((protocol & SP_PROT_TLS1_2) != 0) {
        return "TLSv1.2";
    }
    if ((protocol & SP_PROT_TLS1_1) != 0) {
        return "TLSv1.1";
    }
    return "TLSv1";
}

// The handshake is complete: the peer is verified, the record sizes known.
int Establish(TlsSession* session) {
    SECURITY_STATUS status =
        QueryContextAttributesW(&session->context, SECPKG_ATTR_STREAM_SIZES, &session->sizes);
    if (status != SEC_E_OK) {
        return Fail(session, "QueryContextAttributes failed: " + StatusText(status));
    }
    if (session->verifyPeer) {
        std::string reason;
        if (!schannel::VerifyPeer(&session->context, session->trusted, !session->server,
                                  session->serverName.c_str(), &reason)) {
            return Fail(session, reason);
        }
    }
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(&session->context, SECPKG_ATTR_CONNECTION_INFO, &info) ==
        SEC_E_OK) {
        session->protocol = ProtocolName(info.dwProtocol);
    }
    session->plain.resize(session->sizes.cbMaximumMessage);
    session->state = State::Open;
    return 0;
}

// Decrypts the first held record when it is whole: 1 when one was
// decrypted (the peer's close included), 0 when none is whole, or
// TLS_FAILED.
int DecryptHeld(TlsSession* session) {
    if (session->inLength < 5) {
        return 0;
    }
    const auto* header = reinterpret_cast<const BYTE*>(session->in.data());
    const size_t record = 5 + ((size_t{header[3]} << 8) | header[4]);
    if (record > kMaxRecord) {
        return Fail(session, "record overflow: the peer sent a record of " +
                                 std::to_string(record) + " bytes");
    }
    if (session->inLength < record) {
        return 0;
    }
    const BYTE type = header[0];
    SecBuffer buffers[4] = {{static_cast<ULONG>(record), SECBUFFER_DATA, session->in.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&session->context, &message, 0, nullptr);
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE) {
        if (type == kAlertRecord) {
            return Fail(session,
                        "the peer sent an alert (DecryptMessage: " + StatusText(status) + ")");
        }
        return Fail(session,
                    "a record does not decrypt (DecryptMessage: " + StatusText(status) + ")");
    }
    size_t extra = 0;
    size_t decrypted = 0;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
            if (session->plain.size() < session->plainLength + buffer.cbBuffer) {
                session->plain.resize(session->plainLength + buffer.cbBuffer);
            }
            // The data lies inside the record: moved out before the record goes.
            std::memcpy(session->plain.data() + session->plainStart + session->plainLength,
                        buffer.pvBuffer, buffer.cbBuffer);
            session->plainLength += buffer.cbBuffer;
            decrypted = buffer.cbBuffer;
        } else if (buffer.BufferType == SECBUFFER_EXTRA) {
            extra = buffer.cbBuffer;
        }
    }
    Consume(session, record - std::min(extra, record));
    if (status == SEC_I_CONTEXT_EXPIRED || (type == kAlertRecord && decrypted == 0)) {
        session->peerClosed = true;
    } else if (status == SEC_I_RENEGOTIATE) {
        // A handshake message after the handshake (a TLS 1.3 ticket or key
        // update): the handshake function takes it and may answer.
        size_t unused = 0;
        const SECURITY_STATUS again = HandshakeCall(session, true, &unused);
        if (again != SEC_E_OK && again != SEC_I_CONTINUE_NEEDED) {
            return Fail(session, "a message after the handshake failed: " + StatusText(again));
        }
        Consume(session, session->inLength - unused);
    }
    return 1;
}

}  // namespace

static TlsSession* NewSession(SOCKET s, char* error, int errorSize) {
    auto* session = new (std::nothrow) TlsSession;
    if (session != nullptr) {
        session->socket = s;
        session->in.resize(kInputCapacity);
        return session;
    }
    if (error != nullptr && errorSize > 0) {
        std::snprintf(error, static_cast<size_t>(errorSize), "no memory for a TLS session");
    }
    return nullptr;
}

TlsSession* NewTlsServerSession(TlsServerContext* context, SOCKET s, char* error, int errorSize) {
    TlsSession* session = NewSession(s, error, errorSize);
    if (session != nullptr) {
        session->server = true;
        session->credential = &context->handle;
        session->trusted = context->clientCas;
        session->verifyPeer = context->clientCas != nullptr;
        session->needInput = true;
    }
    return session;
}

TlsSession* NewTlsClientSession(TlsClientContext* context, SOCKET s, const char* serverName,
                                char* error, int errorSize) {
    TlsSession* session = NewSession(s, error, errorSize);
    if (session != nullptr) {
        session->credential = &context->handle;
        session->trusted = context->serverCas;
        session->verifyPeer = !context->insecure;
        if (serverName != nullptr) {
            session->serverName = serverName;
            // An address is never sent as the server's name.
            in6_addr address{};
            const bool numeric = inet_pton(AF_INET, serverName, &address) == 1 ||
                                 inet_pton(AF_INET6, serverName, &address) == 1;
            if (!numeric && *serverName != '\0') {
                const int size = MultiByteToWideChar(CP_UTF8, 0, serverName, -1, nullptr, 0);
                if (size > 1) {
                    session->serverNameWide.resize(static_cast<size_t>(size));
                    MultiByteToWideChar(CP_UTF8, 0, serverName, -1, session->serverNameWide.data(),
                                        size);
                    session->serverNameWide.resize(static_cast<size_t>(size - 1));
                }
            }
        }
    }
    return session;
}

int TlsHandshake(TlsSession* session) {
    if (session->state == State::Failed) {
        return session->failure;
    }
    bool retriedCredentials = false;
    for (;;) {
        const int flushed = Flush(session);
        if (flushed != 0 || session->state == State::Open) {
            return flushed;
        }
        if (session->needInput) {
            const int got = Fill(session);
            if (got == 0) {
                return Fail(session, "the peer closed the connection during the handshake");
            }
            if (got < 0) {
                return got;
            }
            session->needInput = false;
        }
        const bool first = !session->haveContext && !session->server;
        size_t extra = 0;
        const SECURITY_STATUS status = HandshakeCall(session, !first, &extra);
        if (!first) {
            Consume(session, session->inLength - std::min(extra, session->inLength));
        }
        switch (status) {
            case SEC_E_OK:
                if (Establish(session) != 0) {
                    return TLS_FAILED;
                }
                break;  // the last token is flushed above, then 0
            case SEC_I_CONTINUE_NEEDED:
                session->needInput = session->inLength == 0;
                break;
            case SEC_E_INCOMPLETE_MESSAGE:
                if (session->inLength == session->in.size()) {
                    return Fail(session, "handshake failed: a handshake flight larger than " +
                                             std::to_string(session->in.size()) + " bytes");
                }
                session->needInput = true;
                break;
            case SEC_I_INCOMPLETE_CREDENTIALS:
                // Asked for a client certificate we do not have: go on without.
                if (retriedCredentials) {
                    return Fail(session, "handshake failed: " + StatusText(status));
                }
                retriedCredentials = true;
                break;
            default: {
                // The alert token goes out if the socket takes it at once.
                Flush(session);
                const char* hint = status == SEC_E_INTERNAL_ERROR
                                       ? " (the peer refused the handshake, or this system's TLS "
                                         "failed without a reason)"
                                       : "";
                Fail(session, "handshake failed: " + StatusText(status) + hint);
                return TLS_FAILED;
            }
        }
    }
}

int TlsRead(TlsSession* session, char* buffer, int length) {
    if (session->state == State::Failed) {
        return session->failure;
    }
    if (session->state != State::Open) {
        return Fail(session, "TlsRead before the handshake completed");
    }
    for (;;) {
        if (session->plainLength > 0) {
            const size_t count = std::min(session->plainLength, static_cast<size_t>(length));
            std::memcpy(buffer, session->plain.data() + session->plainStart, count);
            session->plainStart += count;
            session->plainLength -= count;
            if (session->plainLength == 0) {
                session->plainStart = 0;
            }
            return static_cast<int>(count);
        }
        if (session->peerClosed) {
            return 0;
        }
        const int decrypted = DecryptHeld(session);
        if (decrypted < 0) {
            return decrypted;
        }
        if (decrypted > 0) {
            continue;
        }
        // An answer to a message after the handshake goes out between reads.
        if (session->writeTaken == 0 && session->outLength > 0 &&
            Flush(session) == TLS_SOCKET_FAILED) {
            return TLS_SOCKET_FAILED;
        }
        const int got = Fill(session);
        if (got == 0) {
            return Fail(session, "unexpected eof while reading");
        }
        if (got < 0) {
            return got;
        }
    }
}

int TlsPending(TlsSession* session) {
    if (session->state == State::Failed) {
        return 1;  // a read returns the failure at once
    }
    if (session->state != State::Open) {
        return 0;
    }
    while (session->plainLength == 0 && !session->peerClosed) {
        const int decrypted = DecryptHeld(session);
        if (decrypted < 0) {
            return 1;
        }
        if (decrypted == 0) {
            break;
        }
    }
    return static_cast<int>(session->plainLength);
}

int TlsWrite(TlsSession* session, const char* buffer, int length) {
    if (session->state == State::Failed) {
        return session->failure;
    }
    if (session->state != State::Open) {
        return Fail(session, "TlsWrite before the handshake completed");
    }
    if (session->outLength > 0) {
        const int flushed = Flush(session);
        if (flushed != 0) {
            return flushed;
        }
        if (session->writeTaken > 0) {
            const int taken = session->writeTaken;
            session->writeTaken = 0;
            return taken;
        }
    }
    if (length <= 0) {
        return 0;
    }
    const SecPkgContext_StreamSizes& sizes = session->sizes;
    const ULONG count = std::min(static_cast<ULONG>(length), sizes.cbMaximumMessage);
    session->out.resize(sizes.cbHeader + sizes.cbMaximumMessage + sizes.cbTrailer);
    char* record = session->out.data();
    std::memcpy(record + sizes.cbHeader, buffer, count);
    SecBuffer buffers[4] = {
        {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
        {count, SECBUFFER_DATA, record + sizes.cbHeader},
        {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes.cbHeader + count},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = EncryptMessage(&session->context, 0, &message, 0);
    if (status != SEC_E_OK) {
        return Fail(session, "EncryptMessage failed: " + StatusText(status));
    }
    session->outStart = 0;
    session->outLength = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    const int flushed = Flush(session);
    if (flushed == TLS_WANT_WRITE) {
        session->writeTaken = static_cast<int>(count);
        return TLS_WANT_WRITE;
    }
    return flushed != 0 ? flushed : static_cast<int>(count);
}

void TlsClose(TlsSession* session) {
    if (session == nullptr) {
        return;
    }
    // close_notify only on a sound session, and only between records.
    if (session->state == State::Open && Flush(session) == 0) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc control{SECBUFFER_VERSION, 1, &token};
        if (ApplyControlToken(&session->context, &control) == SEC_E_OK) {
            // The server's call takes an empty input, the client's none.
            session->inLength = 0;
            size_t unused = 0;
            const SECURITY_STATUS status = HandshakeCall(session, false, &unused);
            if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
                Flush(session);
            }
        }
    }
    if (session->haveContext) {
        DeleteSecurityContext(&session->context);
    }
    delete session;
}

const char* TlsError(const TlsSession* session) {
    return session->error.c_str();
}

int TlsSocketError(const TlsSession* session) {
    return session->failure == TLS_SOCKET_FAILED ? session->socketError : 0;
}

const char* TlsProtocol(const TlsSession* session) {
    return session->state == State::Open ? session->protocol : "";
}

}  // namespace plat
