#include "tls_schannel.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

// The peer's certificate is verified here, not by the system's TLS: the
// trusted CAs come from a PEM file, and not every implementation verifies at
// all (Wine's does not). The texts are the ones the records show on every
// platform ("certificate verify failed: certificate has expired").
//
// Hazard: a chain engine limited to the file's CAs (hExclusiveRoot) is
// refused by some systems (Wine). The file's CAs are then only an additional
// store, the chain may end in any root, and it is trusted only when one of
// its certificates is one of the file's.

namespace plat::schannel {

namespace {

constexpr char kFailed[] = "certificate verify failed: ";

// The checks HTTPSPolicyCallbackData.fdwChecks sets aside, with the values of
// the SECURITY_FLAG_IGNORE_* constants of wininet.h (not included here).
constexpr DWORD kIgnoreRevocation = 0x00000080;
constexpr DWORD kIgnoreUnknownCa = 0x00000100;
constexpr DWORD kIgnoreWrongUsage = 0x00000200;
constexpr DWORD kIgnoreCertDateInvalid = 0x00002000;

HCERTCHAINENGINE NewEngine(HCERTSTORE trusted) {
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = sizeof config;
    config.hExclusiveRoot = trusted;
    HCERTCHAINENGINE engine = nullptr;
    if (CertCreateCertificateChainEngine(&config, &engine)) {
        return engine;
    }
    config = CERT_CHAIN_ENGINE_CONFIG{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveRoot);
    config.cAdditionalStore = 1;
    config.rghAdditionalStore = &trusted;
    if (CertCreateCertificateChainEngine(&config, &engine)) {
        return engine;
    }
    return nullptr;
}

// Whether a certificate of the chain is one of trusted's.
bool ChainHasTrusted(PCCERT_CHAIN_CONTEXT chain, HCERTSTORE trusted) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement; ++i) {
        PCCERT_CONTEXT found =
            CertFindCertificateInStore(trusted, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                       simple->rgpElement[i]->pCertContext, nullptr);
        if (found != nullptr) {
            CertFreeCertificateContext(found);
            return true;
        }
    }
    return false;
}

// The reason of a chain's error bits, in the records' words.
std::string ChainReason(DWORD errors) {
    if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) {
        return "certificate has expired";
    }
    if ((errors & CERT_TRUST_IS_REVOKED) != 0) {
        return "certificate revoked";
    }
    if ((errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID) != 0) {
        return "certificate signature failure";
    }
    if ((errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) != 0) {
        return "unsupported certificate purpose";
    }
    if ((errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0) {
        return "unable to get local issuer certificate";
    }
    char number[48];
    std::snprintf(number, sizeof number, "certificate chain error 0x%08lX", errors);
    return number;
}

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    wide.resize(static_cast<size_t>(size - 1));
    return wide;
}

// The bytes of a numeric address (4 or 16), or none for a name.
std::vector<BYTE> AddressBytes(const char* name) {
    in6_addr address{};
    if (inet_pton(AF_INET, name, &address) == 1) {
        const auto* bytes = reinterpret_cast<const BYTE*>(&address);
        return std::vector<BYTE>(bytes, bytes + 4);
    }
    if (inet_pton(AF_INET6, name, &address) == 1) {
        const auto* bytes = reinterpret_cast<const BYTE*>(&address);
        return std::vector<BYTE>(bytes, bytes + 16);
    }
    return {};
}

// Whether the certificate's subject alternative names hold the address.
// Checked here: not every system's TLS policy (Wine's) matches addresses.
bool AddressMatches(PCCERT_CONTEXT peer, const std::vector<BYTE>& address) {
    const CERT_EXTENSION* extension = CertFindExtension(
        szOID_SUBJECT_ALT_NAME2, peer->pCertInfo->cExtension, peer->pCertInfo->rgExtension);
    if (extension == nullptr) {
        return false;
    }
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                entry.IPAddress.cbData == address.size() &&
                std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    LocalFree(names);
    return found;
}

// The name check of the system's TLS policy: every other check is made
// above, so its other errors are set aside.
bool NameMatches(PCCERT_CHAIN_CONTEXT chain, const char* serverName, std::string* reason) {
    std::wstring name = Wide(serverName);
    HTTPSPolicyCallbackData https{};
    https.cbSize = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.fdwChecks =
        kIgnoreUnknownCa | kIgnoreRevocation | kIgnoreWrongUsage | kIgnoreCertDateInvalid;
    https.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof para;
    para.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status)) {
        *reason = kFailed + StatusText(static_cast<long>(GetLastError()));
        return false;
    }
    if (status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) {
        *reason = std::string(kFailed) + "hostname mismatch";
        return false;
    }
    return true;
}

}  // namespace

bool VerifyPeer(CtxtHandle* context, HCERTSTORE trusted, bool peerIsServer, const char* serverName,
                std::string* reason) {
    PCCERT_CONTEXT peer = nullptr;
    if (QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &peer) != SEC_E_OK ||
        peer == nullptr) {
        *reason = peerIsServer ? std::string(kFailed) + "the server sent no certificate"
                               : "peer did not return a certificate";
        return false;
    }
    HCERTCHAINENGINE engine = nullptr;
    if (trusted != nullptr && (engine = NewEngine(trusted)) == nullptr) {
        *reason = kFailed + StatusText(static_cast<long>(GetLastError()));
        CertFreeCertificateContext(peer);
        return false;
    }
    LPSTR usage =
        const_cast<LPSTR>(peerIsServer ? szOID_PKIX_KP_SERVER_AUTH : szOID_PKIX_KP_CLIENT_AUTH);
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = &usage;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool verified = false;
    // The peer's own store holds the chain it sent.
    if (!CertGetCertificateChain(engine, peer, nullptr, peer->hCertStore, &para, 0, nullptr,
                                 &chain)) {
        *reason = kFailed + StatusText(static_cast<long>(GetLastError()));
    } else {
        // Revocation is not asked for: test CAs publish no lists.
        DWORD errors = chain->TrustStatus.dwErrorStatus &
                       ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                           CERT_TRUST_IS_OFFLINE_REVOCATION);
        if (trusted != nullptr) {
            if (ChainHasTrusted(chain, trusted)) {
                errors &=
                    ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN);
            } else {
                errors |= CERT_TRUST_IS_UNTRUSTED_ROOT;
            }
        }
        const LONG time = CertVerifyTimeValidity(nullptr, peer->pCertInfo);
        if (time < 0) {
            *reason = std::string(kFailed) + "certificate is not yet valid";
        } else if (time > 0) {
            *reason = std::string(kFailed) + "certificate has expired";
        } else if (errors != 0) {
            *reason = kFailed + ChainReason(errors);
        } else {
            const std::vector<BYTE> address =
                serverName != nullptr ? AddressBytes(serverName) : std::vector<BYTE>();
            if (!peerIsServer || serverName == nullptr || *serverName == '\0') {
                verified = true;
            } else if (!address.empty()) {
                verified = AddressMatches(peer, address);
                if (!verified) {
                    *reason = std::string(kFailed) + "IP address mismatch";
                }
            } else {
                verified = NameMatches(chain, serverName, reason);
            }
        }
        CertFreeCertificateChain(chain);
    }
    if (engine != nullptr) {
        CertFreeCertificateChainEngine(engine);
    }
    CertFreeCertificateContext(peer);
    return verified;
}

}  // namespace plat::schannel
