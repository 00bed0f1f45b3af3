#pragma once

// The Windows TLS backend's own parts, shared by its files: PEM files loaded
// into certificate contexts, the verification of a peer's certificate, the
// names of the system's status codes. Only src/platform/win32 includes this.

#include "platform/tls_contract.h"

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// SCH_CREDENTIALS (the only credential form that enables TLS 1.3) is
// declared only with this, and needs UNICODE_STRING from subauth.h.
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
// In this order: each needs the ones before it.
#include <windows.h>

#include <wincrypt.h>

#include <subauth.h>

#include <schannel.h>

#include <security.h>

#include <string>
#include <vector>

namespace plat::schannel {

// The name of a SECURITY_STATUS or certificate error with its number, for
// the records: "SEC_E_INTERNAL_ERROR (0x80090304)"; an unknown code gives its
// number alone.
std::string StatusText(long status);

// The DER blocks of a PEM text under the given label ("CERTIFICATE", ...),
// in the file's order. Empty when there is none.
std::vector<std::vector<BYTE>> PemBlocks(const std::string& pem, const char* label);

// Reads a whole file. False with *reason (the system's words) when it cannot.
bool ReadWholeFile(const char* path, std::string* text, std::string* reason);

// The certificates of a PEM file in an in-memory store. Null with *reason
// when the file cannot be read or holds no certificate.
HCERTSTORE LoadCertificateStore(const char* path, std::string* reason);

// A certificate with its private key attached, as Schannel takes it: the
// first certificate of the file, its chain in the same in-memory store, the
// key in a key container of the process's own that lives as long as this.
struct Credential {
    HCERTSTORE store = nullptr;
    PCCERT_CONTEXT certificate = nullptr;
    std::wstring keyName;   // the container (CryptoAPI) or key (CNG) name
    bool keyIsCng = false;  // which of the two holds the key
};

// What went wrong loading a credential, for the texts of the contract.
enum class CredentialFailure { None, Certificate, Key, Mismatch };

// Loads certFile and keyFile into *credential, the key into the CNG key
// storage provider when preferCng and that takes it, else into a CryptoAPI
// container. On failure the credential is empty and *reason says why (the
// file is named by the caller).
CredentialFailure LoadCredential(const char* certFile, const char* keyFile, bool preferCng,
                                 Credential* credential, std::string* reason);
// Frees the certificate and the store and deletes the key container.
void FreeCredential(Credential* credential);

// Verifies the peer's certificate of a completed handshake: its chain ends
// in one of trusted's certificates (null: the system's trusted roots), it is
// within its validity period, and for a server it carries serverName (null
// or empty: no name check). True, or false with *reason in the words of the
// records ("certificate verify failed: certificate has expired").
bool VerifyPeer(CtxtHandle* context, HCERTSTORE trusted, bool peerIsServer, const char* serverName,
                std::string* reason);

}  // namespace plat::schannel

namespace plat {

// The contexts of the contract: a credential handle of the system's TLS and
// what every session made from it verifies.
struct TlsServerContext {
    CredHandle handle{};
    schannel::Credential credential;
    HCERTSTORE clientCas = nullptr;  // non-null: a client certificate is required
};

struct TlsClientContext {
    CredHandle handle{};
    schannel::Credential credential;  // empty: no client certificate
    HCERTSTORE serverCas = nullptr;   // null: the system's trusted roots
    bool insecure = false;
};

}  // namespace plat
