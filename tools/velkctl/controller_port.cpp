#include "controller_port.h"

#include <cstdio>

#include "diag/error_state.h"
#include "error_chain.h"
#include "vksoc/port/framing_guess.h"
#include "vksoc/port/open_port.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

bool PrepareController(const GlobalOptions& global, const std::string& controllerId) {
    if (IsZtrController(controllerId.c_str())) {
        return true;
    }
    // The loader writes its own failures to the error log and clears them.
    // Its progress lines would only come between the user and the output.
    ConfigNotices quiet{nullptr, nullptr, true};
    if (LoadConfigurationFrom(global.configPath.c_str(), &quiet) != 0) {
        std::fprintf(stderr,
                     "velkctl: the configuration %s could not be loaded; the error log in ../log/ "
                     "says why\n",
                     global.configPath.c_str());
        return false;
    }
    return true;
}

void ReportFailure(const std::string& what, ChainWording wording) {
    std::fprintf(stderr, "velkctl: %s\n", what.c_str());
    PrintErrorChain(stderr, GetErrorText(), wording);
    ClearError();
}

void TellFramingHint(const std::string& controllerId, const std::string& file) {
    const int current = HeaderLengthFromEnvironment();
    char hint[160];
    if (DataFileFramingHint(file.c_str(), controllerId.c_str(), current > 0 ? current : 0, hint,
                            sizeof hint)) {
        std::fprintf(stderr, "velkctl: %s\n", hint);
    }
}
