#include "diag/error_state.h"

#include <cstdarg>
#include <cstdio>

namespace {

ErrorState errorState{};

void AppendText(const char* format, va_list args) {
    int room = ERROR_TEXT_SIZE - errorState.textEnd;
    if (room <= 1) {
        return;
    }
    int n = std::vsnprintf(errorState.text + errorState.textEnd, static_cast<size_t>(room), format,
                           args);
    if (n < 0) {
        errorState.text[errorState.textEnd] = '\0';
        return;
    }
    errorState.textEnd += n < room ? n : room - 1;
}

void AppendFormatted(const char* format, ...) VELK_PRINTF(1, 2);
void AppendFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendText(format, args);
    va_end(args);
}

}  // namespace

void ClearError() {
    errorState.code = 0;
    errorState.subCode = 0;
    errorState.text[0] = '\0';
    errorState.textEnd = 0;
}

void SetError(int code, int subCode) {
    ClearError();
    errorState.code = code;
    errorState.subCode = subCode;
}

void AddErrorText(const char* sourceFile, int line, const char* format, ...) {
    AppendFormatted("[%s,%d] ", sourceFile, line);
    va_list args;
    va_start(args, format);
    AppendText(format, args);
    va_end(args);
}

ErrorState SaveError() {
    return errorState;
}

void RestoreError(const ErrorState& saved) {
    errorState = saved;
}

int GetErrorCode() {
    return errorState.code;
}

int GetErrorSubCode() {
    return errorState.subCode;
}

const char* GetErrorText() {
    return errorState.text;
}
