#include "app/help_and_version.h"

#include <cstring>

#include "vksoc/port/connection_limit.h"

#ifndef VELK_VERSION
#error "VELK_VERSION is set by the build from the project's version"
#endif

namespace {

bool Is(const char* argument, const char* word) {
    return std::strcmp(argument, word) == 0;
}

bool AsksForVersion(const char* argument) {
    return Is(argument, "--version");
}

}  // namespace

bool AsksForHelpOrVersion(const char* firstArgument) {
    return firstArgument != nullptr && (Is(firstArgument, "--help") || Is(firstArgument, "-h") ||
                                        AsksForVersion(firstArgument));
}

void WriteHelpOrVersion(const char* firstArgument, std::FILE* out) {
    if (AsksForVersion(firstArgument)) {
        std::fputs("velk-tester " VELK_VERSION "\n", out);
    } else {
        std::fprintf(
            out,
            "Usage: velk-tester CONTROLLER PORT\n"
            "       velk-tester --help | --version\n"
            "\n"
            "Listens on the TCP port PORT and answers each message the controller sends:\n"
            "in a dialog at the desk, or unattended with an operator script.\n"
            "\n"
            "  CONTROLLER  a controller identifier of ../data/velk.cfg (up to 3 characters,\n"
            "              case matters), or ZTR\n"
            "  PORT        the TCP port to listen on, 1 to 65535\n"
            "\n"
            "The configuration is ../data/velk.cfg and the logs go to ../log/, both\n"
            "relative to the working directory.\n"
            "\n"
            "Environment:\n"
            "  OPERATOR_SCRIPT  answer with this operator script instead of dialogs\n"
            "  VELK_PEERS       serve up to N connections at once, 1 to %d (default 1)\n"
            "  VELK_BIND        listen on this address only (default all interfaces)\n"
            "  VELK_REPORT      write a JUnit XML report of the run to this file; the exit\n"
            "                   status after a stop is then 0 only when every request\n"
            "                   passed its checks, else 3 (at start-up, 3 means VELK_PEERS\n"
            "                   was refused)\n"
            "  HEADER_LENGTH    ASCII digits of length in front of each ISO 8583 message\n"
            "  VELK_TLS_CERT, VELK_TLS_KEY  PEM certificate chain and key: a TLS port\n"
            "  VELK_TLS_CA      PEM CAs: require and verify a client certificate\n"
            "  VELK_TLS_MIN_VERSION  1.2 (default) or 1.3\n"
            "  SSLKEYLOGFILE    append the TLS session keys (NSS key log) to this file\n"
            "  DUMP_RECV_BYTES, DUMP_SEND_BYTES, DUMP_RECV_FLDS, DUMP_SEND_FLDS,\n"
            "  DUMP_MASK_PAN    traffic dumps, card data masked (Y to switch on)\n"
            "  ERROR_FILE_PFX, LOG_FILE_PFX  prefixes of the log files' names\n"
            "\n"
            "Exit codes and every message: docs/start-up-messages.md; the script:\n"
            "docs/operator-script.md; the variables: docs/logs-and-environment.md;\n"
            "TLS: docs/tls.md.\n",
            MAX_PEERS);
    }
    std::fflush(out);
}
