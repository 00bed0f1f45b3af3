#include "conform/findings_record.h"

#include "diag/error_log.h"
#include "diag/error_state.h"

namespace conform {

void WriteFindingsRecord(const Findings& findings, std::string_view mti, std::string_view trace,
                         uint64_t sequence, const char* peer) {
    if (findings.empty()) {
        return;
    }
    // The request's own failure, if any, was written before its dialog: the
    // record stands alone.
    const ErrorState pending = SaveError();
    SetError(ERR_FORMAT, findings.total());
    ADD_ERROR_TEXT("Request %.*s trace %.*s seq %llu: %d finding%s\n", static_cast<int>(mti.size()),
                   mti.data(), static_cast<int>(trace.size()), trace.data(),
                   static_cast<unsigned long long>(sequence), findings.total(),
                   findings.total() == 1 ? "" : "s");
    for (int i = 0; i < findings.count(); ++i) {
        const std::string_view text = findings.Text(i);
        ADD_ERROR_TEXT("%.*s\n", static_cast<int>(text.size()), text.data());
    }
    if (findings.dropped() > 0) {
        ADD_ERROR_TEXT("%d more\n", findings.dropped());
    }
    WriteErrorLog(peer);
    RestoreError(pending);
}

}  // namespace conform
