#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/clock.h"

// The daily log file: "../log/" + prefix + day, month and years since 1900
// (126 in 2026, so "EVT0912126.log" on 9 December 2026), relative to the
// working directory. Error records and dumps share the pattern.
inline constexpr size_t LOG_PATH_SIZE = 64;

void BuildLogFilePath(char (&path)[LOG_PATH_SIZE], const char* prefix, const LocalTime& time);

// Fills prefix (4 bytes) from the environment variable: its first 3
// characters when it is set, "EVT" when it is not. Characters that would
// lead the file out of the log folder ('/', '\\' or ':') give "EVT" as well.
void ReadLogPrefix(char (&prefix)[4], const char* variable);

enum class LogWrite { Written, NotOpened, Failed };

// Opens a log or dump file for appending. With DUMP_MASK_PAN on (the records
// then may hold masked card data, and the operator asked for care with it) a
// file it creates is readable and writable by its owner only; on Windows the
// log folder's access list decides.
FILE* OpenLogFile(const char* path);

// Opens path for appending, lets write(FILE*) put one record, and closes it.
// Failed: the open succeeded but a write or the close did not (a full file
// system): the record, or part of it, is lost, and the caller sends it to
// standard error instead (ReportLostRecord first).
template <typename Write>
LogWrite AppendToLog(const char* path, Write write) {
    FILE* file = OpenLogFile(path);
    if (file == nullptr) {
        return LogWrite::NotOpened;
    }
    write(file);
    bool failed = std::ferror(file) != 0;
    failed = std::fclose(file) != 0 || failed;
    return failed ? LogWrite::Failed : LogWrite::Written;
}

// The line on standard error in front of a record that could not be
// written to path.
void ReportLostRecord(const char* path);
