#include "tls_schannel.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat::schannel {

bool ReadWholeFile(const char* path, std::string* text, std::string* reason) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        *reason = std::strerror(errno);
        return false;
    }
    text->clear();
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text->append(chunk, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *reason = "read error";
        return false;
    }
    return true;
}

std::vector<std::vector<BYTE>> PemBlocks(const std::string& pem, const char* label) {
    const std::string begin = std::string("-----BEGIN ") + label + "-----";
    const std::string end = std::string("-----END ") + label + "-----";
    std::vector<std::vector<BYTE>> blocks;
    size_t from = 0;
    for (;;) {
        const size_t first = pem.find(begin, from);
        if (first == std::string::npos) {
            break;
        }
        const size_t last = pem.find(end, first);
        if (last == std::string::npos) {
            break;
        }
        from = last + end.size();
        // The system's decoder takes the block with its BEGIN and END lines.
        const char* block = pem.data() + first;
        const auto blockLength = static_cast<DWORD>(from - first);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block, blockLength, CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                  nullptr, nullptr)) {
            continue;
        }
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(block, blockLength, CRYPT_STRING_BASE64HEADER, der.data(), &size,
                                  nullptr, nullptr)) {
            continue;
        }
        der.resize(size);
        blocks.push_back(std::move(der));
    }
    return blocks;
}

HCERTSTORE LoadCertificateStore(const char* path, std::string* reason) {
    std::string pem;
    if (!ReadWholeFile(path, &pem, reason)) {
        return nullptr;
    }
    const auto blocks = PemBlocks(pem, "CERTIFICATE");
    if (blocks.empty()) {
        *reason = "no certificate in the file";
        return nullptr;
    }
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (store == nullptr) {
        *reason = StatusText(static_cast<long>(GetLastError()));
        return nullptr;
    }
    for (const auto& der : blocks) {
        if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                              static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
            *reason =
                "a certificate does not decode: " + StatusText(static_cast<long>(GetLastError()));
            CertCloseStore(store, 0);
            return nullptr;
        }
    }
    return store;
}

}  // namespace plat::schannel
