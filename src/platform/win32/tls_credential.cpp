#include "tls_schannel.h"

#include <ncrypt.h>

#include <atomic>
#include <cstring>
#include <cwchar>

// A certificate and its key from PEM files, without asking the user to set
// up any certificate store: the certificates go into an in-memory store, the
// key into a key container named for this process that is deleted again
// when the credential is freed.
//
// Hazards:
// - The system's TLS finds a certificate's key through the container's
//   name (CERT_KEY_PROV_INFO_PROP_ID), so the container must be a persisted
//   one; an ephemeral key handle is not found by every TLS implementation.
//   A process that dies keeps its container in the user's profile.
// - TLS 1.3 signs with RSA-PSS, which the CryptoAPI's containers cannot:
//   the key goes to the CNG key storage provider first, and to a CryptoAPI
//   container only where that fails (older systems, Wine).
// - Keys are RSA only: the CryptoAPI has no other kind, and the key file is
//   checked against the certificate by its modulus.

namespace plat::schannel {

namespace {

// A DER walk over one element: *at is at its tag; on success *at is past it
// and *content/*length give its content.
bool DerElement(const std::vector<BYTE>& der, size_t* at, BYTE tag, size_t* content,
                size_t* length) {
    size_t i = *at;
    if (i + 2 > der.size() || der[i] != tag) {
        return false;
    }
    ++i;
    size_t size = der[i++];
    if ((size & 0x80) != 0) {
        size_t count = size & 0x7F;
        if (count == 0 || count > 4 || i + count > der.size()) {
            return false;
        }
        size = 0;
        while (count-- > 0) {
            size = (size << 8) | der[i++];
        }
    }
    if (size > der.size() - i) {
        return false;
    }
    *content = i;
    *length = size;
    *at = i + size;
    return true;
}

// The PKCS#1 RSAPrivateKey inside a PKCS#8 PrivateKeyInfo (the system's own
// decoder of PKCS#8 is missing on some systems). False when it is not one,
// *notRsa when it holds another kind of key.
bool RsaKeyOfPkcs8(const std::vector<BYTE>& pkcs8, std::vector<BYTE>* rsa, bool* notRsa) {
    // rsaEncryption, 1.2.840.113549.1.1.1
    static constexpr BYTE kRsaOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                       0xF7, 0x0D, 0x01, 0x01, 0x01};
    size_t at = 0;
    size_t content = 0;
    size_t length = 0;
    if (!DerElement(pkcs8, &at, 0x30, &content, &length)) {
        return false;
    }
    at = content;
    if (!DerElement(pkcs8, &at, 0x02, &content, &length)) {
        return false;
    }
    if (!DerElement(pkcs8, &at, 0x30, &content, &length)) {
        return false;
    }
    if (length < sizeof kRsaOid || std::memcmp(&pkcs8[content], kRsaOid, sizeof kRsaOid) != 0) {
        *notRsa = true;
        return false;
    }
    if (!DerElement(pkcs8, &at, 0x04, &content, &length)) {
        return false;
    }
    rsa->assign(pkcs8.begin() + static_cast<std::ptrdiff_t>(content),
                pkcs8.begin() + static_cast<std::ptrdiff_t>(content + length));
    return true;
}

// The key file as a CryptoAPI PRIVATEKEYBLOB, or false with *reason.
bool ReadRsaKeyBlob(const char* keyFile, std::vector<BYTE>* blob, std::string* reason) {
    std::string pem;
    if (!ReadWholeFile(keyFile, &pem, reason)) {
        return false;
    }
    std::vector<BYTE> rsa;
    if (auto blocks = PemBlocks(pem, "PRIVATE KEY"); !blocks.empty()) {
        bool notRsa = false;
        if (!RsaKeyOfPkcs8(blocks[0], &rsa, &notRsa)) {
            *reason = notRsa ? "not an RSA key (only RSA keys are supported on Windows)"
                             : "the private key does not decode";
            return false;
        }
    } else if (auto pkcs1 = PemBlocks(pem, "RSA PRIVATE KEY"); !pkcs1.empty()) {
        rsa = std::move(pkcs1[0]);
    } else if (!PemBlocks(pem, "ENCRYPTED PRIVATE KEY").empty()) {
        *reason = "the key is encrypted (an unencrypted key is needed)";
        return false;
    } else if (!PemBlocks(pem, "EC PRIVATE KEY").empty()) {
        *reason = "not an RSA key (only RSA keys are supported on Windows)";
        return false;
    } else {
        *reason = "no private key in the file";
        return false;
    }
    BYTE* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY,
                             rsa.data(), static_cast<DWORD>(rsa.size()), CRYPT_DECODE_ALLOC_FLAG,
                             nullptr, &decoded, &size)) {
        *reason =
            "the private key does not decode: " + StatusText(static_cast<long>(GetLastError()));
        return false;
    }
    blob->assign(decoded, decoded + size);
    LocalFree(decoded);
    return true;
}

// Whether the PRIVATEKEYBLOB is the key of the certificate's public key:
// the same exponent and modulus.
bool KeyMatchesCertificate(const std::vector<BYTE>& privateBlob, PCCERT_CONTEXT certificate) {
    const CRYPT_BIT_BLOB& publicKey = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    BYTE* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB,
                             publicKey.pbData, publicKey.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &decoded, &size)) {
        return false;  // not an RSA certificate
    }
    // Both blobs: BLOBHEADER, RSAPUBKEY, then the modulus (bitlen / 8 bytes).
    constexpr size_t kHeader = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
    bool same = false;
    if (size >= kHeader && privateBlob.size() >= kHeader) {
        RSAPUBKEY mine;
        RSAPUBKEY theirs;
        std::memcpy(&mine, privateBlob.data() + sizeof(BLOBHEADER), sizeof mine);
        std::memcpy(&theirs, decoded + sizeof(BLOBHEADER), sizeof theirs);
        const size_t modulus = mine.bitlen / 8;
        same = mine.bitlen == theirs.bitlen && mine.pubexp == theirs.pubexp &&
               size >= kHeader + modulus && privateBlob.size() >= kHeader + modulus &&
               std::memcmp(privateBlob.data() + kHeader, decoded + kHeader, modulus) == 0;
    }
    LocalFree(decoded);
    return same;
}

std::wstring NewKeyName() {
    static std::atomic<unsigned> counter{0};
    wchar_t name[64];
    std::swprintf(name, 64, L"velk-tls-%lu-%u-%llu", GetCurrentProcessId(), ++counter,
                  static_cast<unsigned long long>(GetTickCount64()));
    return name;
}

// The key in the CNG software key storage provider under name.
bool ImportCngKey(const std::vector<BYTE>& blob, const std::wstring& name) {
    NCRYPT_PROV_HANDLE provider = 0;
    if (NCryptOpenStorageProvider(&provider, MS_KEY_STORAGE_PROVIDER, 0) != ERROR_SUCCESS) {
        return false;
    }
    NCRYPT_KEY_HANDLE key = 0;
    bool done =
        NCryptCreatePersistedKey(provider, &key, BCRYPT_RSA_ALGORITHM, name.c_str(), AT_KEYEXCHANGE,
                                 NCRYPT_OVERWRITE_KEY_FLAG) == ERROR_SUCCESS;
    if (done) {
        done = NCryptSetProperty(key, LEGACY_RSAPRIVATE_BLOB, const_cast<BYTE*>(blob.data()),
                                 static_cast<DWORD>(blob.size()),
                                 NCRYPT_PERSIST_ONLY_FLAG) == ERROR_SUCCESS &&
               NCryptFinalizeKey(key, NCRYPT_SILENT_FLAG) == ERROR_SUCCESS;
        if (!done) {
            NCryptDeleteKey(key, 0);  // frees the handle too
        } else {
            NCryptFreeObject(key);
        }
    }
    NCryptFreeObject(provider);
    return done;
}

void DeleteCngKey(const std::wstring& name) {
    NCRYPT_PROV_HANDLE provider = 0;
    if (NCryptOpenStorageProvider(&provider, MS_KEY_STORAGE_PROVIDER, 0) != ERROR_SUCCESS) {
        return;
    }
    NCRYPT_KEY_HANDLE key = 0;
    if (NCryptOpenKey(provider, &key, name.c_str(), 0, NCRYPT_SILENT_FLAG) == ERROR_SUCCESS) {
        NCryptDeleteKey(key, 0);
    }
    NCryptFreeObject(provider);
}

// The key in a new CryptoAPI container under name. False with *reason.
bool ImportCapiKey(const std::vector<BYTE>& blob, const std::wstring& name, std::string* reason) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, name.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                              CRYPT_NEWKEYSET | CRYPT_SILENT)) {
        *reason = "no key container: " + StatusText(static_cast<long>(GetLastError()));
        return false;
    }
    HCRYPTKEY key = 0;
    if (!CryptImportKey(provider, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &key)) {
        *reason = "the key cannot be imported: " + StatusText(static_cast<long>(GetLastError()));
        CryptReleaseContext(provider, 0);
        HCRYPTPROV gone = 0;
        CryptAcquireContextW(&gone, name.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                             CRYPT_DELETEKEYSET);
        return false;
    }
    CryptDestroyKey(key);
    CryptReleaseContext(provider, 0);
    return true;
}

void DeleteCapiKey(const std::wstring& name) {
    HCRYPTPROV gone = 0;
    CryptAcquireContextW(&gone, name.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                         CRYPT_DELETEKEYSET);
}

}  // namespace

CredentialFailure LoadCredential(const char* certFile, const char* keyFile, bool preferCng,
                                 Credential* credential, std::string* reason) {
    *credential = Credential{};
    std::string pem;
    if (!ReadWholeFile(certFile, &pem, reason)) {
        return CredentialFailure::Certificate;
    }
    const auto blocks = PemBlocks(pem, "CERTIFICATE");
    if (blocks.empty()) {
        *reason = "no certificate in the file";
        return CredentialFailure::Certificate;
    }
    credential->store =
        CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (credential->store == nullptr) {
        *reason = StatusText(static_cast<long>(GetLastError()));
        return CredentialFailure::Certificate;
    }
    // The first certificate is the credential's own; the others are its
    // chain, sent with it from the same store.
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (!CertAddEncodedCertificateToStore(
                credential->store, X509_ASN_ENCODING, blocks[i].data(),
                static_cast<DWORD>(blocks[i].size()), CERT_STORE_ADD_REPLACE_EXISTING,
                i == 0 ? &credential->certificate : nullptr)) {
            *reason =
                "a certificate does not decode: " + StatusText(static_cast<long>(GetLastError()));
            FreeCredential(credential);
            return CredentialFailure::Certificate;
        }
    }

    std::vector<BYTE> blob;
    if (!ReadRsaKeyBlob(keyFile, &blob, reason)) {
        FreeCredential(credential);
        return CredentialFailure::Key;
    }
    if (!KeyMatchesCertificate(blob, credential->certificate)) {
        FreeCredential(credential);
        return CredentialFailure::Mismatch;
    }

    const std::wstring name = NewKeyName();
    CRYPT_KEY_PROV_INFO where{};
    where.pwszContainerName = const_cast<wchar_t*>(name.c_str());
    where.dwKeySpec = AT_KEYEXCHANGE;
    if (preferCng && ImportCngKey(blob, name)) {
        credential->keyIsCng = true;
        where.pwszProvName = const_cast<wchar_t*>(MS_KEY_STORAGE_PROVIDER);
        where.dwProvType = 0;
    } else if (ImportCapiKey(blob, name, reason)) {
        where.pwszProvName = const_cast<wchar_t*>(MS_ENH_RSA_AES_PROV_W);
        where.dwProvType = PROV_RSA_AES;
    } else {
        FreeCredential(credential);
        return CredentialFailure::Key;
    }
    credential->keyName = name;
    if (!CertSetCertificateContextProperty(credential->certificate, CERT_KEY_PROV_INFO_PROP_ID, 0,
                                           &where)) {
        *reason = "the key cannot be attached: " + StatusText(static_cast<long>(GetLastError()));
        FreeCredential(credential);
        return CredentialFailure::Key;
    }
    // The blob held the private key in the clear.
    SecureZeroMemory(blob.data(), blob.size());
    return CredentialFailure::None;
}

void FreeCredential(Credential* credential) {
    if (credential->certificate != nullptr) {
        CertFreeCertificateContext(credential->certificate);
    }
    if (credential->store != nullptr) {
        CertCloseStore(credential->store, 0);
    }
    if (!credential->keyName.empty()) {
        if (credential->keyIsCng) {
            DeleteCngKey(credential->keyName);
        } else {
            DeleteCapiKey(credential->keyName);
        }
    }
    *credential = Credential{};
}

}  // namespace plat::schannel
