#pragma once

#include <cstdint>

// The one process-wide record of the last failure. The module where a failure
// happens calls SetError, then AddErrorText; each caller that passes the
// failure on adds its own line with AddErrorText alone; the top level that
// gives up calls WriteErrorLog. Recording never allocates.

enum ErrorCode : int {
    ERR_INTERNAL = 1001,
    ERR_CONNECTION = 1002,
    ERR_INVALID = 1003,
    ERR_FORMAT = 1004,
    ERR_RESOURCE = 1005,
    ERR_TIMEOUT = 1006,
};

inline constexpr int ERROR_TEXT_SIZE = 4096;

struct ErrorState {
    int32_t code;
    int32_t subCode;
    char text[ERROR_TEXT_SIZE];  // NUL-terminated; at most 4,095 characters
    int textEnd;                 // where the next piece is written
};

#if defined(__GNUC__)
#define VELK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELK_PRINTF(fmt, args)
#endif

void ClearError();
void SetError(int code, int subCode);
// Appends "[sourceFile,line] " and the formatted message. Text that would
// pass the end of the buffer is cut there.
void AddErrorText(const char* sourceFile, int line, const char* format, ...) VELK_PRINTF(3, 4);
// The whole state, to put back after work that may record an error which
// must not count (a dump that parses a message to find its card data).
ErrorState SaveError();
void RestoreError(const ErrorState& saved);
int GetErrorCode();
int GetErrorSubCode();
const char* GetErrorText();

// Every module library is compiled with VELK_MODULE set to its name.
#define ADD_ERROR_TEXT(...) AddErrorText(VELK_MODULE, __LINE__, __VA_ARGS__)
