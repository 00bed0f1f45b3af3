// The logs are text files: on Windows their lines end with CR LF, as every
// Windows program's text files do. (The test programs run with binary files
// by default, so that the other tests compare plain "\n" lines.)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "pinned_clock.h"
#include "temp_root.h"

namespace {

class TextFileMode {
  public:
    TextFileMode() : saved_(_fmode) { _fmode = _O_TEXT; }
    ~TextFileMode() { _fmode = saved_; }

  private:
    int saved_;
};

TEST(LogLineEnds, TheErrorLogEndsItsLinesWithCrLf) {
    TempRoot root;
    PinnedClock clock;
    TextFileMode text;
    ResetErrorFilePrefix();
    SetError(ERR_CONNECTION, 0);
    WriteErrorLog();
    std::string log = ReadFile(root.log() / "EVT0912126.log");
    EXPECT_NE(log.find("PID  :  312\r\nError: (1002,0) **\r\n"), std::string::npos) << log;
    EXPECT_EQ(ReadText(root.log() / "EVT0912126.log").find('\r'), std::string::npos);
}

}  // namespace
