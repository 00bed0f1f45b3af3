#include "conform/junit_report.h"

#include <chrono>
#include <ctime>

#include "conform/xml_text.h"
#include "os_files.h"

namespace conform {

namespace {

// One test case's XML: its request and response are each at most a message
// of text (a field's bytes shown as \xHH at worst), and its findings' texts.
constexpr size_t CASE_TEXT_SIZE = 2 * (4 * 4096 + 2048) + 4 * FINDINGS_TEXT_SIZE;
constexpr size_t COPY_BUFFER_SIZE = 1 << 16;
constexpr auto FLUSH_INTERVAL = std::chrono::milliseconds(1000);

void PutSeconds(TextBuffer& out, double seconds) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.3f", seconds);
    out.Put(std::string_view(text, static_cast<size_t>(length)));
}

}  // namespace

JunitReport::JunitReport() = default;

JunitReport::~JunitReport() {
    if (open()) {
        Close();
    }
}

bool JunitReport::Open(const std::string& path, std::string_view suite, std::string& why) {
    path_ = path;
    tmpPath_ = path + ".tmp";
    spoolPath_ = path + ".spool";
    suite_ = suite;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", std::gmtime(&now));
    timestamp_ = stamp;
    caseText_ = std::make_unique<char[]>(CASE_TEXT_SIZE);
    copyBuffer_ = std::make_unique<char[]>(COPY_BUFFER_SIZE);
    spool_ = std::fopen(spoolPath_.c_str(), "w+b");
    if (spool_ == nullptr) {
        why = "cannot write " + spoolPath_;
        return false;
    }
    if (!WriteReport()) {
        std::fclose(spool_);
        spool_ = nullptr;
        plat::RemoveFile(spoolPath_.c_str());
        why = "cannot write " + path_ + " (through " + tmpPath_ + ")";
        return false;
    }
    flusher_ = std::thread([this] { FlushLoop(); });
    return true;
}

void JunitReport::Add(const ReportCase& testCase) {
    const bool failed = testCase.findings != nullptr && !testCase.findings->empty();
    std::lock_guard<std::mutex> lock(mutex_);
    TextBuffer out{caseText_.get(), CASE_TEXT_SIZE};
    out.Put("    <testcase name=\"");
    out.PutXml(testCase.name);
    out.Put("\" classname=\"");
    out.PutXml(testCase.className);
    out.Put("\" time=\"");
    PutSeconds(out, testCase.seconds);
    out.Put("\">\n");
    if (failed) {
        const Findings& findings = *testCase.findings;
        out.Put("      <failure type=\"conformance\" message=\"");
        out.PutNumber(findings.total());
        out.Put(findings.total() == 1 ? " finding: " : " findings: ");
        out.PutXml(findings.First());
        out.Put("\">");
        for (int i = 0; i < findings.count(); ++i) {
            out.PutXml(findings.Text(i));
            out.Put("\n");
        }
        if (findings.dropped() > 0) {
            out.PutNumber(findings.dropped());
            out.Put(" more\n");
        }
        out.Put("</failure>\n");
    }
    out.Put("      <system-out>rule: ");
    out.PutXml(testCase.rule);
    out.Put("\nrequest:\n");
    out.PutXml(testCase.request);
    if (testCase.response.empty()) {
        out.Put("response: none\n");
    } else {
        out.Put("response:\n");
        out.PutXml(testCase.response);
    }
    out.Put("</system-out>\n    </testcase>\n");
    if (out.cut) {
        // Only an absurdly long text gets here; the case must stay well formed.
        out.cut = false;
        out.used = 0;
        out.Put("    <testcase name=\"");
        out.PutXml(testCase.name);
        out.Put("\" classname=\"");
        out.PutXml(testCase.className);
        out.Put(failed ? "\"><failure type=\"conformance\" message=\"findings too long to show\"/>"
                         "</testcase>\n"
                       : "\"/>\n");
    }
    if (std::fwrite(out.data, 1, out.used, spool_) == out.used) {
        counts_.spoolLength += static_cast<long long>(out.used);
    }
    ++counts_.cases;
    if (failed) {
        ++counts_.failures;
    }
    counts_.seconds += testCase.seconds;
    dirty_ = true;
}

bool JunitReport::WriteReport() {
    std::lock_guard<std::mutex> writing(writing_);
    Counts counts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::fflush(spool_) != 0) {
            return false;
        }
        counts = counts_;
        dirty_ = false;
    }
    FILE* report = std::fopen(tmpPath_.c_str(), "wb");
    if (report == nullptr) {
        return false;
    }
    char headText[1024];
    TextBuffer head{headText, sizeof headText};
    head.Put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"velk-tester\" tests=\"");
    head.PutNumber(counts.cases);
    head.Put("\" failures=\"");
    head.PutNumber(counts.failures);
    head.Put("\" errors=\"0\" time=\"");
    PutSeconds(head, counts.seconds);
    head.Put("\">\n  <testsuite name=\"");
    head.PutXml(suite_);
    head.Put("\" tests=\"");
    head.PutNumber(counts.cases);
    head.Put("\" failures=\"");
    head.PutNumber(counts.failures);
    head.Put("\" errors=\"0\" skipped=\"0\" time=\"");
    PutSeconds(head, counts.seconds);
    head.Put("\" timestamp=\"");
    head.Put(timestamp_);
    head.Put("\">\n");
    bool ok = std::fwrite(head.data, 1, head.used, report) == head.used;
    // The spool is read through a stream of its own up to the length the
    // counts were taken at: cases added meanwhile wait for the next report.
    FILE* spool = ok ? std::fopen(spoolPath_.c_str(), "rb") : nullptr;
    ok = ok && spool != nullptr;
    long long left = counts.spoolLength;
    while (ok && left > 0) {
        const size_t want = left < static_cast<long long>(COPY_BUFFER_SIZE)
                                ? static_cast<size_t>(left)
                                : COPY_BUFFER_SIZE;
        const size_t got = std::fread(copyBuffer_.get(), 1, want, spool);
        ok = got == want && std::fwrite(copyBuffer_.get(), 1, got, report) == got;
        left -= static_cast<long long>(got);
    }
    if (spool != nullptr) {
        std::fclose(spool);
    }
    static constexpr std::string_view footer = "  </testsuite>\n</testsuites>\n";
    ok = ok && std::fwrite(footer.data(), 1, footer.size(), report) == footer.size();
    ok = std::fclose(report) == 0 && ok;
    ok = ok && plat::MoveFileOver(tmpPath_.c_str(), path_.c_str()) == 0;
    return ok;
}

void JunitReport::FlushLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, FLUSH_INTERVAL);
        if (dirty_ && !stopping_) {
            lock.unlock();
            if (!WriteReport()) {
                writeFailed_ = true;
            }
            lock.lock();
        }
    }
}

bool JunitReport::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable()) {
        flusher_.join();
    }
    const bool ok = WriteReport();
    std::fclose(spool_);
    spool_ = nullptr;
    plat::RemoveFile(spoolPath_.c_str());
    return ok && !writeFailed_;
}

long long JunitReport::cases() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_.cases;
}

long long JunitReport::failures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_.failures;
}

}  // namespace conform
