#include "diag/error_log.h"

#include <cstdio>

#include "diag/error_state.h"
#include "diag/log_file.h"
#include "platform/clock.h"

namespace {
// Empty until the first log write. A variable that is set but empty leaves it
// empty, so it is read again at every write and the names have no prefix.
char errorFilePrefix[4];
}  // namespace

void ResetErrorFilePrefix() {
    errorFilePrefix[0] = '\0';
}

void WriteErrorLog() {
    WriteErrorLog(nullptr);
}

void WriteErrorLog(const char* peer) {
    if (errorFilePrefix[0] == '\0') {
        ReadLogPrefix(errorFilePrefix, "ERROR_FILE_PFX");
    }
    LocalTime now = CurrentLocalTime();
    char path[LOG_PATH_SIZE];
    BuildLogFilePath(path, errorFilePrefix, now);

    LogWrite result = AppendToLog(path, [&now, peer](FILE* file) {
        std::fprintf(file, "#################################################\n");
        std::fprintf(file, "\t\t\t\t\t\t\t\t\t\t\t\t \n");
        std::fprintf(file, "Time :%02d:%02d:%02d \n", now.hour, now.minute, now.second);
        std::fprintf(file, "PID  :  %d\n", CurrentProcessId());
        if (peer != nullptr) {
            std::fprintf(file, "Peer :  %s\n", peer);
        }
        std::fprintf(file, "Error: (%d,%d) **\n%s\n", GetErrorCode(), GetErrorSubCode(),
                     GetErrorText());
    });
    if (result != LogWrite::Written) {
        if (result == LogWrite::NotOpened) {
            // The 0 is what log readers have always seen here, not errno.
            std::fprintf(stderr, "Error opening '%s': %d\n", path, 0);
        } else {
            ReportLostRecord(path);
        }
        std::fprintf(stderr, "** %02d:%02d:%02d Pid: %ld%s%s Error: (%d,%d) **\n%s\n", now.hour,
                     now.minute, now.second, static_cast<long>(CurrentProcessId()),
                     peer != nullptr ? " Peer: " : "", peer != nullptr ? peer : "", GetErrorCode(),
                     GetErrorSubCode(), GetErrorText());
    }
    ClearError();
}
