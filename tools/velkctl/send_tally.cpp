#include "send_tally.h"

#include <algorithm>

namespace {

// Nearest rank of a sorted, non-empty table.
double Percentile(const std::vector<double>& sorted, double fraction) {
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

}  // namespace

void PrintSendSummary(FILE* out, int connections, SendTally& tally) {
    double seconds = std::chrono::duration<double>(tally.elapsed).count();
    if (connections > 1) {
        std::fprintf(out, "connections: %d\n", connections);
    }
    std::fprintf(out, "requests: %lld\n", tally.requested);
    std::fprintf(out, "sent: %lld\n", tally.sent);
    std::fprintf(out, "answered: %lld\n", tally.answered);
    std::fprintf(out, "timed out: %lld\n", tally.timedOut);
    std::fprintf(out, "failures: %lld\n", tally.failures);
    if (tally.expecting) {
        std::fprintf(out, "expectations unmet: %lld\n", tally.unmet);
    }
    std::fprintf(out, "elapsed: %.3f s\n", seconds);
    std::fprintf(out, "requests per second: %.0f\n",
                 seconds > 0 ? static_cast<double>(tally.answered) / seconds : 0.0);
    if (!tally.roundTripsUs.empty()) {
        std::sort(tally.roundTripsUs.begin(), tally.roundTripsUs.end());
        std::fprintf(out, "round trip median: %.1f us\n", Percentile(tally.roundTripsUs, 0.5));
        std::fprintf(out, "round trip 99th percentile: %.1f us\n",
                     Percentile(tally.roundTripsUs, 0.99));
    }
}
