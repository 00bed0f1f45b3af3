#pragma once

#include <chrono>
#include <cstdio>
#include <vector>

// What a run of `velkctl send` did, counted honestly:
//   sent       requests written to a connection;
//   answered   requests whose own response arrived and decoded in time;
//   timed out  requests whose response was not whole by the deadline;
//   failures   every request that got no answer of its own (timed out, its
//              connection failed, it could not be sent) and every response
//              that answered no request in hand (a surplus).
// Requests never sent because their connection had already ended are in
// none of these: requests minus sent tells them.
struct SendTally {
    long long requested = 0;
    long long sent = 0;
    long long answered = 0;
    long long timedOut = 0;
    long long failures = 0;
    long long unmet = 0;  // responses that did not meet the --expect conditions
    bool expecting = false;
    std::vector<double> roundTripsUs;  // one per answered request
    std::chrono::steady_clock::duration elapsed{};

    bool AllAnswered() const { return sent == requested && answered == requested && failures == 0; }
};

// The summary of a counted run: the counts above, elapsed time, answered
// requests per second, median and 99th-percentile round trip. Sorts the
// round trips.
void PrintSendSummary(FILE* out, int connections, SendTally& tally);
