#include "tls_schannel.h"

#include <cstdio>
#include <new>

// The contexts of the system's TLS (Schannel) from PEM files.
//
// Hazards:
// - TLS 1.3 can only be enabled through SCH_CREDENTIALS, which older
//   systems (and Wine) refuse; SCHANNEL_CRED is the fallback, with TLS 1.2.
// - Some implementations have no TLS server at all (Wine: no
//   AcceptSecurityContext). A server context is refused then, at start-up,
//   rather than failing every connection later.
// - Schannel cannot hand out its session keys: no SSLKEYLOGFILE here.

namespace plat {

namespace {

using schannel::StatusText;

void SetText(char* error, int errorSize, const std::string& text) {
    if (error != nullptr && errorSize > 0) {
        std::snprintf(error, static_cast<size_t>(errorSize), "%s", text.c_str());
    }
}

bool Given(const char* file) {
    return file != nullptr && *file != '\0';
}

// The protocols of both directions a context must not offer, and those of
// which it must offer one.
DWORD BelowMinimum(TlsMinVersion minVersion) {
    return SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1 |
           (minVersion == TlsMinVersion::Tls13 ? DWORD{SP_PROT_TLS1_2} : DWORD{0});
}
DWORD Allowed(TlsMinVersion minVersion) {
    return SP_PROT_TLS1_3 | (minVersion == TlsMinVersion::Tls13 ? DWORD{0} : DWORD{SP_PROT_TLS1_2});
}

// Whether the handle offers what the minimum asks: some systems (Wine)
// take SCH_CREDENTIALS but not its list of disabled protocols.
bool OffersMinimum(CredHandle* handle, TlsMinVersion minVersion) {
    SecPkgCred_SupportedProtocols protocols{};
    if (QueryCredentialsAttributesW(handle, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &protocols) !=
            SEC_E_OK ||
        protocols.grbitProtocol == 0) {
        return true;  // not told: the system keeps to what it was given
    }
    return (protocols.grbitProtocol & BelowMinimum(minVersion)) == 0 &&
           (protocols.grbitProtocol & Allowed(minVersion)) != 0;
}

// Acquires the credential handle for one direction: SCH_CREDENTIALS first,
// SCHANNEL_CRED where that form is unknown or not kept to.
SECURITY_STATUS Acquire(bool server, PCCERT_CONTEXT certificate, HCERTSTORE clientCas,
                        TlsMinVersion minVersion, CredHandle* handle) {
    PCCERT_CONTEXT certificates[1] = {certificate};
    const DWORD flags = server ? DWORD{SCH_USE_STRONG_CRYPTO}
                               : DWORD{SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS |
                                       SCH_USE_STRONG_CRYPTO};
    const ULONG use = server ? SECPKG_CRED_INBOUND : SECPKG_CRED_OUTBOUND;
    TimeStamp expiry;

    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = BelowMinimum(minVersion);
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.cCreds = certificate != nullptr ? 1 : 0;
    modern.paCred = certificates;
    modern.hRootStore = clientCas;
    modern.dwFlags = flags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SECURITY_STATUS status =
        AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), use, nullptr,
                                  &modern, nullptr, nullptr, handle, &expiry);
    if (status == SEC_E_OK) {
        if (OffersMinimum(handle, minVersion)) {
            return status;
        }
        FreeCredentialsHandle(handle);
    }
    SCHANNEL_CRED legacy{};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.cCreds = modern.cCreds;
    legacy.paCred = certificates;
    legacy.hRootStore = clientCas;
    legacy.dwFlags = flags;
    if (minVersion == TlsMinVersion::Tls13) {
        legacy.grbitEnabledProtocols = server ? SP_PROT_TLS1_3_SERVER : SP_PROT_TLS1_3_CLIENT;
    } else {
        legacy.grbitEnabledProtocols = server ? SP_PROT_TLS1_2_SERVER : SP_PROT_TLS1_2_CLIENT;
    }
    status = AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), use, nullptr,
                                       &legacy, nullptr, nullptr, handle, &expiry);
    if (status == SEC_E_OK && !OffersMinimum(handle, minVersion)) {
        FreeCredentialsHandle(handle);
        return SEC_E_ALGORITHM_MISMATCH;
    }
    return status;
}

std::string AcquireFailure(SECURITY_STATUS status, TlsMinVersion minVersion) {
    std::string text = "TLS is not available: ";
    if (minVersion == TlsMinVersion::Tls13) {
        text += "this system's TLS cannot enable TLS 1.3, ";
    }
    return text + "AcquireCredentialsHandle failed: " + StatusText(status);
}

// Loads the credential and acquires its handle; the key moves from the CNG
// provider to a CryptoAPI container when the system's TLS does not take it
// there. Returns false with the contract's text in *text.
bool LoadAndAcquire(bool server, const char* certFile, const char* keyFile, HCERTSTORE clientCas,
                    TlsMinVersion minVersion, schannel::Credential* credential, CredHandle* handle,
                    std::string* text) {
    PCCERT_CONTEXT certificate = nullptr;
    if (Given(certFile)) {
        std::string reason;
        switch (schannel::LoadCredential(certFile, keyFile, true, credential, &reason)) {
            case schannel::CredentialFailure::None:
                break;
            case schannel::CredentialFailure::Certificate:
                *text = std::string("cannot read certificate file ") + certFile + ": " + reason;
                return false;
            case schannel::CredentialFailure::Key:
                *text = std::string("cannot read key file ") + keyFile + ": " + reason;
                return false;
            case schannel::CredentialFailure::Mismatch:
                *text = std::string("key file ") + keyFile + " does not match certificate file " +
                        certFile;
                return false;
        }
        certificate = credential->certificate;
    }
    SECURITY_STATUS status = Acquire(server, certificate, clientCas, minVersion, handle);
    if (status != SEC_E_OK && credential->keyIsCng) {
        std::string reason;
        schannel::FreeCredential(credential);
        if (schannel::LoadCredential(certFile, keyFile, false, credential, &reason) !=
            schannel::CredentialFailure::None) {
            *text = std::string("cannot read key file ") + keyFile + ": " + reason;
            return false;
        }
        status = Acquire(server, credential->certificate, clientCas, minVersion, handle);
    }
    if (status != SEC_E_OK) {
        *text = AcquireFailure(status, minVersion);
        schannel::FreeCredential(credential);
        return false;
    }
    return true;
}

// Whether the system's TLS can accept connections at all: a hello's first
// bytes, incomplete, are answered "incomplete" by a server and "unsupported"
// where there is none.
SECURITY_STATUS ServerSupport(CredHandle* handle) {
    BYTE start[5] = {0x16, 0x03, 0x01, 0x00, 0x40};
    SecBuffer in[2] = {{sizeof start, SECBUFFER_TOKEN, start}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc input{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc output{SECBUFFER_VERSION, 1, out};
    CtxtHandle context{};
    ULONG attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status =
        AcceptSecurityContext(handle, nullptr, &input, ASC_REQ_ALLOCATE_MEMORY | ASC_REQ_STREAM, 0,
                              &context, &output, &attributes, &expiry);
    if (out[0].pvBuffer != nullptr) {
        FreeContextBuffer(out[0].pvBuffer);
    }
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
        DeleteSecurityContext(&context);
    }
    return status;
}

}  // namespace

TlsServerContext* NewTlsServer(const TlsServerSettings& settings, char* error, int errorSize) {
    auto* context = new (std::nothrow) TlsServerContext;
    if (context == nullptr) {
        SetText(error, errorSize, "TLS is not available: out of memory");
        return nullptr;
    }
    std::string text;
    if (Given(settings.caFile)) {
        std::string reason;
        context->clientCas = schannel::LoadCertificateStore(settings.caFile, &reason);
        if (context->clientCas == nullptr) {
            SetText(error, errorSize,
                    std::string("cannot read CA file ") + settings.caFile + ": " + reason);
            delete context;
            return nullptr;
        }
    }
    if (!Given(settings.certFile) || !Given(settings.keyFile)) {
        // The callers refuse half a pair first; this only keeps the text sound.
        text = Given(settings.certFile)
                   ? std::string("cannot read key file: none given for certificate file ") +
                         settings.certFile
                   : std::string("cannot read certificate file: none given");
    } else if (LoadAndAcquire(true, settings.certFile, settings.keyFile, context->clientCas,
                              settings.minVersion, &context->credential, &context->handle, &text)) {
        const SECURITY_STATUS support = ServerSupport(&context->handle);
        if (support != SEC_E_UNSUPPORTED_FUNCTION) {
            return context;
        }
        text =
            "TLS is not available: this system's TLS cannot accept connections "
            "(AcceptSecurityContext: " +
            StatusText(support) + ")";
        FreeCredentialsHandle(&context->handle);
        schannel::FreeCredential(&context->credential);
    }
    SetText(error, errorSize, text);
    if (context->clientCas != nullptr) {
        CertCloseStore(context->clientCas, 0);
    }
    delete context;
    return nullptr;
}

void FreeTlsServer(TlsServerContext* context) {
    if (context == nullptr) {
        return;
    }
    FreeCredentialsHandle(&context->handle);
    schannel::FreeCredential(&context->credential);
    if (context->clientCas != nullptr) {
        CertCloseStore(context->clientCas, 0);
    }
    delete context;
}

TlsClientContext* NewTlsClient(const TlsClientSettings& settings, char* error, int errorSize) {
    auto* context = new (std::nothrow) TlsClientContext;
    if (context == nullptr) {
        SetText(error, errorSize, "TLS is not available: out of memory");
        return nullptr;
    }
    context->insecure = settings.insecure;
    std::string text;
    if (Given(settings.caFile)) {
        std::string reason;
        context->serverCas = schannel::LoadCertificateStore(settings.caFile, &reason);
        if (context->serverCas == nullptr) {
            SetText(error, errorSize,
                    std::string("cannot read CA file ") + settings.caFile + ": " + reason);
            delete context;
            return nullptr;
        }
    }
    if (LoadAndAcquire(false, Given(settings.certFile) ? settings.certFile : nullptr,
                       settings.keyFile, nullptr, settings.minVersion, &context->credential,
                       &context->handle, &text)) {
        return context;
    }
    SetText(error, errorSize, text);
    if (context->serverCas != nullptr) {
        CertCloseStore(context->serverCas, 0);
    }
    delete context;
    return nullptr;
}

void FreeTlsClient(TlsClientContext* context) {
    if (context == nullptr) {
        return;
    }
    FreeCredentialsHandle(&context->handle);
    schannel::FreeCredential(&context->credential);
    if (context->serverCas != nullptr) {
        CertCloseStore(context->serverCas, 0);
    }
    delete context;
}

bool TlsWritesKeyLog() {
    return false;
}

}  // namespace plat
