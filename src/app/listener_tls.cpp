#include "app/listener_tls.h"

#include <cstdlib>
#include <cstring>

#include "ui/standard_error.h"

namespace {

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

}  // namespace

bool LoadListenerTls(plat::TlsServerContext** context, std::string* why) {
    *context = nullptr;
    const char* cert = Variable("VELK_TLS_CERT");
    const char* key = Variable("VELK_TLS_KEY");
    const char* ca = Variable("VELK_TLS_CA");
    const char* minVersion = Variable("VELK_TLS_MIN_VERSION");
    if (cert == nullptr && key == nullptr) {
        if (ca != nullptr || minVersion != nullptr) {
            *why = std::string(ca != nullptr ? "VELK_TLS_CA" : "VELK_TLS_MIN_VERSION") +
                   " is set, but a TLS port needs VELK_TLS_CERT and VELK_TLS_KEY";
            return false;
        }
        return true;
    }
    if (cert == nullptr || key == nullptr) {
        *why = cert == nullptr ? std::string("VELK_TLS_KEY is set (") + key +
                                     "), but not VELK_TLS_CERT: a TLS port needs both"
                               : std::string("VELK_TLS_CERT is set (") + cert +
                                     "), but not VELK_TLS_KEY: a TLS port needs both";
        return false;
    }
    plat::TlsServerSettings settings;
    settings.certFile = cert;
    settings.keyFile = key;
    settings.caFile = ca;
    if (minVersion == nullptr || std::strcmp(minVersion, "1.2") == 0) {
        settings.minVersion = plat::TlsMinVersion::Tls12;
    } else if (std::strcmp(minVersion, "1.3") == 0) {
        settings.minVersion = plat::TlsMinVersion::Tls13;
    } else {
        *why = std::string("VELK_TLS_MIN_VERSION must be 1.2 or 1.3 (got: ") + minVersion + ")";
        return false;
    }
    settings.keyLogFile = Variable("SSLKEYLOGFILE");
    if (settings.keyLogFile != nullptr && !plat::TlsWritesKeyLog()) {
        ui::SayOnStandardError("SSLKEYLOGFILE is ignored: this build's TLS cannot write key logs");
    }
    char error[plat::TLS_ERROR_TEXT_SIZE];
    *context = plat::NewTlsServer(settings, error, sizeof error);
    if (*context == nullptr) {
        *why = std::string("TLS port not started: ") + error;
        return false;
    }
    return true;
}
