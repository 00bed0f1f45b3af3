#pragma once

// TLS over a connected socket, with the same names and contracts on every
// backend (OpenSSL on POSIX, the system's own TLS on Windows). Declared once
// here; each backend defines it. No type of a TLS library appears: contexts
// and sessions are opaque.
//
// Texts: every failure gives a text for the records, one line without a
// trailing newline. A start-up failure names the file as it was given; a
// session's failure carries the TLS library's own reason ("certificate
// verify failed", "wrong version number", "unexpected eof while reading",
// "tlsv1 alert unknown ca", ...).
//
// Sockets: a session drives the socket it was made on with the contract's
// plat::recv and plat::send (socket_contract.h), on a socket the caller has
// made non-blocking: no call here ever waits. The caller waits with
// WaitSocket/WaitSockets for what the last call asked (TLS_WANT_READ,
// TLS_WANT_WRITE) and calls again, so it bounds a stalled peer with its own
// time limits and serves other sockets meanwhile. The socket stays the
// caller's: it is never closed here.

#include "os_sockets.h"

namespace plat {

struct TlsServerContext;
struct TlsClientContext;
struct TlsSession;

enum class TlsMinVersion { Tls12, Tls13 };

// What the calls below return besides a byte count or 0.
inline constexpr int TLS_FAILED = -1;         // the TLS protocol failed: TlsError tells why
inline constexpr int TLS_WANT_READ = -2;      // wait until the socket is readable, call again
inline constexpr int TLS_WANT_WRITE = -3;     // wait until the socket is writable, call again
inline constexpr int TLS_SOCKET_FAILED = -4;  // a socket call failed: TlsSocketError tells
                                              // which (WSAECONNRESET, ...), TlsError too

// The most a TlsError text holds, its NUL included.
inline constexpr int TLS_ERROR_TEXT_SIZE = 256;

struct TlsServerSettings {
    const char* certFile = nullptr;  // PEM: the server's certificate, then its chain
    const char* keyFile = nullptr;   // PEM: its private key (unencrypted)
    // PEM: null or empty, no client certificate is asked for; otherwise
    // every client must present one that verifies against these CAs.
    const char* caFile = nullptr;
    TlsMinVersion minVersion = TlsMinVersion::Tls12;
    // Null or empty: no key log. Otherwise the NSS key-log lines of every
    // session are appended to this file (SSLKEYLOGFILE), where the backend
    // can (TlsWritesKeyLog).
    const char* keyLogFile = nullptr;
};

// Loads the files and makes the context every accepted connection's session
// is made from. Null on failure, with *error (errorSize bytes, at most
// TLS_ERROR_TEXT_SIZE needed) one of:
//   "cannot read certificate file FILE: REASON"
//   "cannot read key file FILE: REASON"
//   "key file FILE does not match certificate file FILE"
//   "cannot read CA file FILE: REASON"
//   "cannot open key log file FILE: REASON"
//   "TLS is not available: REASON"  (the backend cannot make a context at all)
// REASON is the system's or the library's ("No such file or directory",
// "no start line", ...). A file that holds no certificate (key) is
// unreadable in this sense.
TlsServerContext* NewTlsServer(const TlsServerSettings& settings, char* error, int errorSize);
// Frees the context; null is allowed. Every session made from it must have
// been closed first.
void FreeTlsServer(TlsServerContext* context);

struct TlsClientSettings {
    // PEM: the CAs the server's certificate must verify against; null or
    // empty: the system's trusted store.
    const char* caFile = nullptr;
    // PEM: the client certificate (and chain) and its key to present when
    // the server asks; both or neither.
    const char* certFile = nullptr;
    const char* keyFile = nullptr;
    // True: the server's certificate and name are not verified at all.
    bool insecure = false;
    TlsMinVersion minVersion = TlsMinVersion::Tls12;
    const char* keyLogFile = nullptr;  // as for the server
};

// As NewTlsServer, with the same texts (the pair of certificate and key
// given as one of them only: "key file FILE does not match certificate
// file FILE" does not apply, the caller refuses that first).
TlsClientContext* NewTlsClient(const TlsClientSettings& settings, char* error, int errorSize);
void FreeTlsClient(TlsClientContext* context);

// Whether this backend writes SSLKEYLOGFILE; false: a keyLogFile is ignored.
bool TlsWritesKeyLog();

// A session over the connected, non-blocking socket s, its handshake not yet
// begun. Null only when memory runs out (*error says so).
// serverName (client only): the name sent in the hello (a DNS name; not
// sent for a numeric address) and the name or address the server's
// certificate must carry, unless the context is insecure.
TlsSession* NewTlsServerSession(TlsServerContext* context, SOCKET s, char* error, int errorSize);
TlsSession* NewTlsClientSession(TlsClientContext* context, SOCKET s, const char* serverName,
                                char* error, int errorSize);

// One turn of the handshake: 0 once it is complete (application data may
// already be held then: see TlsPending), TLS_WANT_READ, TLS_WANT_WRITE,
// TLS_FAILED or TLS_SOCKET_FAILED. The peer's end of the stream during the
// handshake is TLS_FAILED ("unexpected eof while reading", or the backend's
// wording). Verification failures are TLS_FAILED with the reason of the
// verification ("certificate verify failed: certificate has expired").
int TlsHandshake(TlsSession* session);

// Decrypted bytes into buffer (at most length): the count (> 0); 0 when the
// peer closed the stream with close_notify; TLS_WANT_READ (nothing whole has
// arrived yet: wait for the socket), TLS_WANT_WRITE, TLS_FAILED (an alert,
// a record that does not decrypt, the stream ending without close_notify),
// TLS_SOCKET_FAILED. Only after a completed handshake.
int TlsRead(TlsSession* session, char* buffer, int length);

// How many bytes a TlsRead would return now without the socket being
// readable: what the session holds already decrypted (or whole records it
// holds and will decrypt). A wait on the socket does not see these: a
// caller that finds any reads without waiting.
int TlsPending(TlsSession* session);

// Encrypts and sends bytes: the count taken (1 to length), TLS_WANT_WRITE,
// TLS_WANT_READ, TLS_FAILED or TLS_SOCKET_FAILED. After a TLS_WANT_* the
// caller calls again with the same bytes (the buffer may have moved): the
// session may hold bytes it encrypted and could not send yet, and sends
// them first. A count means those bytes are wholly handed to the socket.
int TlsWrite(TlsSession* session, const char* buffer, int length);

// Sends close_notify, unless the session failed or never completed its
// handshake, without waiting for room or for the peer's own; then frees the
// session. Null is allowed. The socket is left open.
void TlsClose(TlsSession* session);

// The reason of the session's last TLS_FAILED or TLS_SOCKET_FAILED, for the
// records; "" when there was none.
const char* TlsError(const TlsSession* session);

// The Windows Sockets number (platform/wsa_codes.h) of the socket call that
// made the session's last call TLS_SOCKET_FAILED; 0 when none did.
int TlsSocketError(const TlsSession* session);

// The protocol the handshake agreed, "TLSv1.2" or "TLSv1.3"; "" before.
const char* TlsProtocol(const TlsSession* session);

}  // namespace plat
