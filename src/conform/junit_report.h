#pragma once

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "conform/findings.h"

// A run's JUnit XML report, as CI systems read it: one <testsuite> (the
// controller) of one <testcase> per request, a <failure> with its findings
// when it has any, and its request and response in <system-out>.
//
// Each test case is written once, appended to a spool beside the report
// (FILE.spool); the report itself (header, the spool's bytes, footer) is
// written to FILE.tmp and renamed over FILE at most once a second while
// cases come, by a thread of its own, and once more at Close. So the cost
// of a request stays the same however long the run, and a run that is
// killed leaves FILE as its last complete report (and the spool and perhaps
// FILE.tmp beside it).

namespace conform {

struct ReportCase {
    std::string_view name;       // "0200 trace 000123 seq 17"
    std::string_view className;  // "C01.0200"
    std::string_view rule;       // what answered: "line 12", "desk", "no rule"
    double seconds = 0;          // from the request to its answer
    const Findings* findings = nullptr;
    std::string_view request;   // the request's fields in value form (message_text.h)
    std::string_view response;  // the response's; empty when none was sent
};

class JunitReport {
  public:
    JunitReport();
    ~JunitReport();
    JunitReport(const JunitReport&) = delete;
    JunitReport& operator=(const JunitReport&) = delete;

    // Starts the report of suite `suite` at path: writes an empty report
    // there at once. False with the reason when the spool or the report
    // cannot be written.
    bool Open(const std::string& path, std::string_view suite, std::string& why);
    bool open() const { return spool_ != nullptr; }
    // Appends one test case. Allocates nothing.
    void Add(const ReportCase& testCase);
    // Writes the report a last time and removes the spool. False when that
    // write, or one while the run went on, failed.
    bool Close();

    long long cases() const;
    long long failures() const;

  private:
    struct Counts {
        long long cases = 0;
        long long failures = 0;
        long long spoolLength = 0;
        double seconds = 0;
    };
    bool WriteReport();
    void FlushLoop();

    std::string path_;
    std::string tmpPath_;
    std::string spoolPath_;
    std::string suite_;
    std::string timestamp_;
    FILE* spool_ = nullptr;

    mutable std::mutex mutex_;  // the spool's end and the counts
    Counts counts_;
    bool dirty_ = false;
    bool stopping_ = false;
    bool writeFailed_ = false;  // the flushing thread's; read after it ended
    std::condition_variable wake_;

    std::mutex writing_;  // one WriteReport at a time
    std::unique_ptr<char[]> caseText_;
    std::unique_ptr<char[]> copyBuffer_;
    std::thread flusher_;
};

}  // namespace conform
