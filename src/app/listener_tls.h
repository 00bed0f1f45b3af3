#pragma once

#include <string>

#include "platform/tls_contract.h"

// The responder's TLS port, from the environment:
//   VELK_TLS_CERT, VELK_TLS_KEY  PEM: the certificate chain and its key; both
//                                make the listening port a TLS port
//   VELK_TLS_CA                  PEM: requires a client certificate that
//                                verifies against these CAs
//   VELK_TLS_MIN_VERSION         1.2 (default) or 1.3
//   SSLKEYLOGFILE                the sessions' keys, NSS key-log lines
// None of the four VELK_TLS_ variables set (or all empty): a plain port.

// Reads the variables and makes the server context. True with *context null
// for a plain port, or the context (the caller frees it with
// plat::FreeTlsServer); false with *why, one line naming the variable or the
// file: only one of the pair, a CA or minimum version without the pair, a
// minimum version not understood, a file that cannot be read, a key that
// does not match its certificate.
bool LoadListenerTls(plat::TlsServerContext** context, std::string* why);
