#include "vksoc/port/framing_guess.h"

#include <cstdio>
#include <cstring>

#include "diag/error_state.h"
#include "diag/message_fields.h"
#include "os_lowio.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/port/framing.h"
#include "vksoc/port/open_port.h"
#include "vkstp/config_view.h"

namespace {

// Whether the bytes are one whole message under a prefix of `width` digits
// (0: no prefix).
bool FitsWidth(const unsigned char* bytes, int count, const FieldSpec* specs, int width) {
    const Framing framing = DecimalFraming(width);
    const int header = framing.headerLength;
    const int body = count - header;
    if (body < 1 || body > MAX_MESSAGE_LENGTH) {
        return false;
    }
    if (header > 0) {
        const FrameHeader read = ParseFrameHeader(framing, bytes, header, MAX_MESSAGE_LENGTH);
        if (read.outcome != HeaderOutcome::Length || read.length != body) {
            return false;
        }
    }
    MessageFields fields{};
    const Taken taken = Take8583(bytes + header, body, specs, &fields);
    return taken.outcome == TakeOutcome::Whole && taken.bytes == body;
}

}  // namespace

int GuessHeaderLength(const unsigned char* bytes, int count, const FieldSpec* specs, int current) {
    if (specs == nullptr || bytes == nullptr) {
        return -1;
    }
    // A malformed reading is a wrong guess, not a failure to report.
    const ErrorState saved = SaveError();
    int found = -1;
    for (int width = 0; width <= MAX_HEADER_LENGTH && found < 0; ++width) {
        if (width != current && FitsWidth(bytes, count, specs, width)) {
            found = width;
        }
    }
    RestoreError(saved);
    return found;
}

bool DataFileFramingHint(const char* fileName, const char* controllerId, int current, char* out,
                         size_t outSize) {
    if (outSize > 0) {
        out[0] = '\0';
    }
    // A controller whose link names its framing reads files by it alone:
    // HEADER_LENGTH is no way out.
    const LinkRecord* link = FindLinkBounded(controllerId);
    if (IsZtrController(controllerId) ||
        (link != nullptr && LinkFraming(*link) != FramingTag::Absent)) {
        return false;
    }
    const FieldSpec* specs = FindControllerBounded(controllerId);
    bool notRegular = false;
    std::FILE* file =
        specs != nullptr ? plat::OpenRegularFileToRead(fileName, &notRegular) : nullptr;
    if (file == nullptr) {
        return false;
    }
    // One byte more than the longest prefixed message: a longer file is no
    // single message under any width.
    unsigned char bytes[MAX_HEADER_LENGTH + MAX_MESSAGE_LENGTH + 1];
    const size_t count = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    const int width = GuessHeaderLength(bytes, static_cast<int>(count), specs, current);
    if (width < 0 || outSize == 0) {
        return false;
    }
    if (width == 0) {
        std::snprintf(out, outSize,
                      "the file seems to carry no length prefix: HEADER_LENGTH unset or 0");
    } else {
        std::snprintf(out, outSize,
                      "the file seems to carry a %d-digit length prefix: "
                      "HEADER_LENGTH=%d",
                      width, width);
    }
    return true;
}

void AppendFramingHint(char* text, size_t size, const char* fileName, const char* controllerId) {
    const int current = HeaderLengthFromEnvironment();
    char hint[160];
    const size_t used = strnlen(text, size);
    if (used < size &&
        DataFileFramingHint(fileName, controllerId, current > 0 ? current : 0, hint, sizeof hint)) {
        std::snprintf(text + used, size - used, " (%s)", hint);
    }
}
