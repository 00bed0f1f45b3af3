#include "diag/traffic_dump.h"

#include <cstdio>
#include <cstdlib>

#include "diag/card_mask.h"
#include "diag/log_file.h"
#include "platform/clock.h"

namespace {

char logFilePrefix[4];

bool SwitchOn(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && (value[0] == 'Y' || value[0] == 'y');
}

// Appends one record to today's dump file. A file that cannot be opened
// (no log folder) skips the record; one that takes it only in part (a full
// file system) sends it whole to standard error.
template <typename Write>
void AppendDump(const LocalTime& now, Write write) {
    if (logFilePrefix[0] == '\0') {
        InitLogFilePrefix();
    }
    char path[LOG_PATH_SIZE];
    BuildLogFilePath(path, logFilePrefix, now);
    if (AppendToLog(path, write) == LogWrite::Failed) {
        ReportLostRecord(path);
        write(stderr);
    }
}

const char* SlotText(const FieldSlot& slot) {
    return slot.data != nullptr ? reinterpret_cast<const char*>(slot.data) : "";
}

// Room for a masked copy of one value; a value is never longer than a message.
constexpr int MASKED_VALUE_SIZE = MESSAGE_BUFFER_SIZE;

char Printable(unsigned char byte) {
    return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
}

}  // namespace

void InitLogFilePrefix() {
    ReadLogPrefix(logFilePrefix, "LOG_FILE_PFX");
}

void ResetLogFilePrefix() {
    logFilePrefix[0] = '\0';
}

namespace {
// Ends a dump's first line, naming the peer where there is one.
void PutPeer(FILE* file, char direction, const char* peer) {
    if (peer != nullptr) {
        std::fprintf(file, " %s %s", direction == 'S' ? "to" : "from", peer);
    }
    std::fputc('\n', file);
}
}  // namespace

bool DumpBytesOn(char direction) {
    return SwitchOn(direction == 'S' ? "DUMP_SEND_BYTES" : "DUMP_RECV_BYTES");
}

void DumpBytes(const unsigned char* data, int length, char direction, const unsigned char* shown,
               const char* peer) {
    if (!DumpBytesOn(direction)) {
        return;
    }
    if (shown == nullptr) {
        shown = data;
    }
    LocalTime now = CurrentLocalTime();
    AppendDump(now, [&](FILE* file) {
        std::fprintf(file, "Pid: %d %02d/%02d/%04d %02d:%02d:%02d %s %d Bytes", CurrentProcessId(),
                     now.day, now.month, now.yearsSince1900 + 1900, now.hour, now.minute,
                     now.second, direction == 'R' ? "Received" : "Sent", length);
        PutPeer(file, direction, peer);
        char characters[17];
        int inLine = 0;
        for (int i = 0; i < length; ++i) {
            if (shown[i] == data[i]) {
                std::fprintf(file, "%02x ", data[i]);
            } else {
                std::fputs("** ", file);
            }
            characters[inLine++] = Printable(shown[i]);
            if (inLine == 16) {
                characters[16] = '\0';
                std::fprintf(file, "%s\n", characters);
                inLine = 0;
            }
        }
        if (inLine > 0) {
            // Pad so that the character column always starts at column 49.
            characters[inLine] = '\0';
            int pad = 3 * (16 - inLine);
            std::fprintf(file, "%*.*s%s\n", pad, pad, " ", characters);
        }
    });
}

void DumpFields(int iso8583, char direction, const MessageFields* fields, const char* peer,
                const unsigned char* tpdu, FieldDetail detail, const void* context,
                const FieldNotes* notes) {
    if (!SwitchOn(direction == 'S' ? "DUMP_SEND_FLDS" : "DUMP_RECV_FLDS")) {
        return;
    }
    LocalTime now = CurrentLocalTime();
    AppendDump(now, [&](FILE* file) {
        std::fprintf(file, "Pid: %d %s At: %02d/%02d/%04d %02d:%02d:%02d", CurrentProcessId(),
                     direction == 'S' ? "Sent" : "Received", now.day, now.month,
                     now.yearsSince1900 + 1900, now.hour, now.minute, now.second);
        PutPeer(file, direction, peer);
        if (tpdu != nullptr) {
            std::fprintf(file, "TPDU: %02X%02X%02X%02X%02X\n", tpdu[0], tpdu[1], tpdu[2], tpdu[3],
                         tpdu[4]);
        }
        if (iso8583) {
            const FieldSlot& id = fields->slots[0];
            std::fprintf(file, "MessageId: %*.*s\n", id.length, id.length, SlotText(id));
        }
        int last = iso8583 ? 128 : 64;
        const bool mask = iso8583 && MaskPanOn();
        static unsigned char masked[MASKED_VALUE_SIZE];
        for (int n = 2; n <= last; ++n) {
            const FieldSlot& slot = fields->slots[n];
            const char* note = notes != nullptr ? notes->text[n] : nullptr;
            if (slot.length <= 0) {
                if (note != nullptr) {
                    std::fprintf(file, "Field %03d: (absent)  <- %s\n", n, note);
                }
                continue;
            }
            if (detail != nullptr && detail(context, n, slot, mask, file)) {
                continue;
            }
            const char* text = SlotText(slot);
            int length = slot.length;
            if (mask && IsCardDataField(n) && slot.data != nullptr) {
                // No value is this long; one that were would be cut, not shown.
                length = length < MASKED_VALUE_SIZE ? length : MASKED_VALUE_SIZE;
                MaskCardField(n, slot.data, length, masked);
                text = reinterpret_cast<const char*>(masked);
            }
            if (note != nullptr) {
                std::fprintf(file, "Field %03d: %*.*s  <- %s\n", n, length, length, text, note);
            } else {
                std::fprintf(file, "Field %03d: %*.*s\n", n, length, length, text);
            }
        }
    });
}

void PrintFields(const char* fileName, const char* title, const MessageFields* fields, int last) {
    FILE* file = std::fopen(fileName, "a+");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "%s\n", title);
    if (last >= MESSAGE_SLOTS) {
        last = MESSAGE_SLOTS - 1;
    }
    for (int n = 0; n <= last; ++n) {
        const FieldSlot& slot = fields->slots[n];
        if (slot.length > 0) {
            std::fprintf(file, "Fld %d\t-\t'%*.*s'\n", n, slot.length, slot.length, SlotText(slot));
        }
    }
    std::fclose(file);
}
