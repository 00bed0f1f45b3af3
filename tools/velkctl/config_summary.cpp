#include "config_summary.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

long long TableEnd(int32_t count, int32_t offset, size_t recordSize) {
    return count > 0 ? offset + static_cast<long long>(count) * static_cast<long long>(recordSize)
                     : 0;
}

// Fixed-width text fields of the image as strings, stopping at the NUL or at
// the width when an image from elsewhere lacks one.
template <size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

const char* LengthKind(int lengthBytes) {
    switch (lengthBytes) {
        case 0:
            return "fixed";
        case 1:
            return "L";
        case 2:
            return "LL";
        default:
            return "LLL";
    }
}

void PrintHeading(FILE* out, const char* title, int count) {
    std::fprintf(out, "\n%s: %d\n", title, count);
}

void PrintSolTable(FILE* out, const ConfigView& view) {
    const ConfigHeader& h = *view.header;
    PrintHeading(out, "SOL list", h.solCount);
    if (h.solCount > 0) {
        std::fprintf(out, "  %-8s  %s\n", "SOL_ID", "DC_ID");
    }
    for (int32_t i = 0; i < h.solCount; ++i) {
        const SolRecord& r = view.solTable[i];
        std::fprintf(out, "  %-8s  %s\n", Text(r.SOL_ID).c_str(), Text(r.DC_ID).c_str());
    }
}

void PrintServerTables(FILE* out, const ConfigView& view) {
    const ConfigHeader& h = *view.header;
    PrintHeading(out, "DC servers", h.serverCount);
    if (h.serverCount > 0) {
        std::fprintf(out, "  %-5s  %-15s  %s\n", "DC_ID", "IP_ADDRESS", "PORT");
    }
    for (int32_t i = 0; i < h.serverCount; ++i) {
        const DcServerRecord& r = view.serverTable[i];
        std::fprintf(out, "  %-5s  %-15s  %u\n", Text(r.DC_ID).c_str(), Text(r.IP_ADDRESS).c_str(),
                     static_cast<unsigned>(r.PORT));
    }
    if (h.dcCount > 0) {
        std::fprintf(out, "  DC ids:");
        for (int32_t i = 0; i < h.dcCount; ++i) {
            const DcIdRecord& r = view.dcTable[i];
            std::fprintf(out, "%s %s (%c)", i == 0 ? "" : ",", Text(r.DC_ID).c_str(),
                         r.status != '\0' ? r.status : ' ');
        }
        std::fprintf(out,
                     "\n    (in brackets: the status of each DC id, N as the reader makes it; "
                     "nothing reads it)\n");
    }
}

void PrintMisc(FILE* out, const ConfigView& view) {
    std::fprintf(out, "\nMiscellaneous:");
    if (view.misc == nullptr) {
        std::fprintf(out, " none (READ_TIMEOUT is %d s: %s)\n", DEFAULT_READ_TIMEOUT,
                     READ_TIMEOUT_MEANING);
        std::fprintf(out, "  HOST_TIMEOUT is %d s (the default: %s)\n", DEFAULT_HOST_TIMEOUT,
                     HOST_TIMEOUT_MEANING);
        return;
    }
    const MiscRecord& m = *view.misc;
    if (m.HOST_TIMEOUT < 1) {
        std::fprintf(out, "\n  %-15s %d (below 1: the responder uses the default, %d s; %s)\n",
                     "HOST_TIMEOUT", m.HOST_TIMEOUT, DEFAULT_HOST_TIMEOUT, HOST_TIMEOUT_MEANING);
    } else {
        std::fprintf(out, "\n  %-15s %d s (%s)\n", "HOST_TIMEOUT", m.HOST_TIMEOUT,
                     HOST_TIMEOUT_MEANING);
    }
    std::fprintf(out, "  %-15s %d s (%s)\n", "READ_TIMEOUT", m.READ_TIMEOUT, READ_TIMEOUT_MEANING);
    std::fprintf(out, "  %-15s %d\n", "UPLOAD_TIMEOUT", m.UPLOAD_TIMEOUT);
    std::fprintf(out, "  %-15s %d\n", "SWITCH_TIMEOUT", m.SWITCH_TIMEOUT);
    std::fprintf(out, "  %-15s %c\n", "TRACE_FLAG", m.TRACE_FLAG != '\0' ? m.TRACE_FLAG : ' ');
}

void PrintNetwork(FILE* out, const ConfigView& view) {
    const ConfigHeader& h = *view.header;
    PrintHeading(out, "Network parameters", h.nwMiscCount);
    if (h.nwMiscCount > 0) {
        std::fprintf(out, "  %-5s  %-13s  %-15s  %-11s  %-15s  %s\n", "DC_ID", "CONTROLLER_ID",
                     "UPLOAD_IP_ADDR", "UPLOAD_PORT", "SWITCH_IP_ADDR", "SWITCH_PORT");
    }
    for (int32_t i = 0; i < h.nwMiscCount; ++i) {
        const NwMiscRecord& r = view.nwMiscTable[i];
        std::fprintf(out, "  %-5s  %-13s  %-15s  %-11u  %-15s  %u\n", Text(r.DC_ID).c_str(),
                     Text(r.CONTROLLER_ID).c_str(), Text(r.UPLOAD_IP_ADDR).c_str(),
                     static_cast<unsigned>(r.UPLOAD_PORT), Text(r.SWITCH_IP_ADDR).c_str(),
                     static_cast<unsigned>(r.SWITCH_PORT));
    }
}

void PrintController(FILE* out, const ControllerParams& controller) {
    int defined = 0;
    for (const FieldSpec& spec : controller.fields) {
        defined += FieldSpecIsDefined(spec) ? 1 : 0;
    }
    std::fprintf(out, "\n  %s: %d field%s defined\n", Text(controller.CONTROLLER_ID).c_str(),
                 defined, defined == 1 ? "" : "s");
    if (defined == 0) {
        return;
    }
    std::fprintf(out, "    %3s  %-40s  %7s  %s\n", "NO", "FIELD_NAME", "MAX_LEN", "LENGTH_BYTES");
    for (int n = 1; n <= MAX_FIELD_NO; ++n) {
        const FieldSpec& spec = controller.fields[n - 1];
        if (!FieldSpecIsDefined(spec)) {
            continue;
        }
        std::fprintf(out, "    %3d  %-40s  %7d  %d (%s)\n", n, Text(spec.FIELD_NAME).c_str(),
                     spec.MAX_LEN, spec.LENGTH_BYTES, LengthKind(spec.LENGTH_BYTES));
    }
}

void CheckReadTimeout(const ConfigView& view, std::vector<ConfigWarning>& warnings) {
    if (view.misc == nullptr) {
        return;
    }
    const int seconds = view.misc->READ_TIMEOUT;
    if (seconds < 0) {
        warnings.push_back(
            {0, "READ_TIMEOUT " + std::to_string(seconds) +
                    " waits without limit for the rest of a length-prefixed message whose body "
                    "has begun to arrive: a peer that stops half-way holds the responder"});
    } else if (seconds == 0) {
        warnings.push_back(
            {0,
             "READ_TIMEOUT 0 (also what a MISCELLANEOUS section without it gives) does not "
             "wait at all for the rest of a length-prefixed message whose body has begun to "
             "arrive: a body that comes in two pieces is refused (\"Timeout before assembly\")"});
    }
}

// The shortest ISO 8583 message: a message identifier and the primary bitmap.
constexpr int SHORTEST_ISO8583_MESSAGE = 12;

void CheckHeaderLength(int headerLength, std::vector<ConfigWarning>& warnings) {
    if (headerLength < 1 || headerLength > 2) {
        return;
    }
    const int largest = headerLength == 1 ? 9 : 99;
    if (largest < SHORTEST_ISO8583_MESSAGE) {
        warnings.push_back({0,
                            "HEADER_LENGTH 1 can carry no ISO 8583 message: one digit counts "
                            "at most 9 bytes, and the shortest message (message id and "
                            "bitmap) has 12"});
    } else {
        warnings.push_back({0,
                            "HEADER_LENGTH 2 carries ISO 8583 messages of at most 99 bytes: "
                            "a longer one can be neither sent nor received"});
    }
}

}  // namespace

const char* const HOST_TIMEOUT_MEANING = "how long a send may go on while the peer takes no bytes";

const char* const READ_TIMEOUT_MEANING =
    "only with a length prefix: how long the rest of a message whose body has begun to arrive "
    "is awaited; never the wait between messages";

long long ConfigBytesUsed(const ConfigHeader& h) {
    long long end = sizeof(ConfigHeader);
    end = std::max(end, TableEnd(h.solCount, h.solOffset, sizeof(SolRecord)));
    end = std::max(end, TableEnd(h.serverCount, h.serverOffset, sizeof(DcServerRecord)));
    end = std::max(end, TableEnd(h.dcCount, h.dcOffset, sizeof(DcIdRecord)));
    end = std::max(end, TableEnd(h.miscOffset > 0 ? 1 : 0, h.miscOffset, sizeof(MiscRecord)));
    end = std::max(end, TableEnd(h.nwMiscCount, h.nwMiscOffset, sizeof(NwMiscRecord)));
    end = std::max(end, TableEnd(h.controllerCount, h.controllerOffset, sizeof(ControllerParams)));
    end = std::max(end, TableEnd(h.linkCount, h.linkOffset, sizeof(LinkRecord)));
    return end;
}

void PrintConfigSummary(FILE* out, const ConfigView& view) {
    PrintSolTable(out, view);
    PrintServerTables(out, view);
    PrintMisc(out, view);
    PrintNetwork(out, view);
    PrintHeading(out, "Controllers", view.header->controllerCount);
    for (int32_t i = 0; i < view.header->controllerCount; ++i) {
        PrintController(out, view.controllerTable[i]);
    }
}

std::vector<ConfigWarning> CheckLoadedConfig(const ConfigView& view, int headerLength) {
    std::vector<ConfigWarning> warnings;
    CheckReadTimeout(view, warnings);
    CheckHeaderLength(headerLength, warnings);
    const ConfigHeader& h = *view.header;
    for (int32_t i = 0; i < h.controllerCount; ++i) {
        std::string id = Text(view.controllerTable[i].CONTROLLER_ID);
        if (id.empty()) {
            warnings.push_back({0, "controller " + std::to_string(i + 1) +
                                       " has no CONTROLLER_ID; nothing can select it"});
            continue;
        }
        if (IsZtrController(id.c_str())) {
            warnings.push_back(
                {0,
                 "controller ZTR is never used: the identifier ZTR selects the ZTR host format"});
        }
        for (int32_t j = 0; j < i; ++j) {
            if (Text(view.controllerTable[j].CONTROLLER_ID) == id) {
                warnings.push_back({0, "controller " + id +
                                           " is configured more than once; the first one is used"});
                break;
            }
        }
    }
    if (h.controllerCount == 0) {
        warnings.push_back({0, "no controller is configured: only ZTR can be served"});
    }
    return warnings;
}
