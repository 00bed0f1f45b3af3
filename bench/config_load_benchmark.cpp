// Loading a configuration of ten controllers of 128 fields (about 7,800 lines).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "vkstp/config_reader.h"

namespace {

std::string WriteLargeConfig() {
    std::string path = (std::filesystem::temp_directory_path() / "velk-bench-config.cfg").string();
    std::ofstream out(path, std::ios::trunc);
    out << "<VELK_CONFIGURATION>\n<MISCELLANEOUS>\n  <READ_TIMEOUT>10\n</MISCELLANEOUS>\n";
    out << "<CONTROLLER_PARAMS_LIST>\n";
    for (int c = 0; c < 10; ++c) {
        out << "  <CONTROLLER_PARAMS>\n    <CONTROLLER_ID>C" << c << "\n    <FIELD_SPEC_LIST>\n";
        for (int n = 1; n <= 128; ++n) {
            out << "      <FIELD>\n        <FIELD_NO>" << n
                << "\n        <FIELD_NAME>Data element number " << n << "\n        <MAX_LEN>"
                << (n % 3 == 0 ? 99 : 12) << "\n        <LENGTH_BYTES>" << (n % 3 == 0 ? 2 : 0)
                << "\n      </FIELD>\n";
        }
        out << "    </FIELD_SPEC_LIST>\n  </CONTROLLER_PARAMS>\n";
    }
    out << "</CONTROLLER_PARAMS_LIST>\n</VELK_CONFIGURATION>\n";
    return path;
}

void BM_LoadConfiguration_10x128(benchmark::State& state) {
    std::string path = WriteLargeConfig();
    // The loader prints its progress lines; keep them out of the report.
    std::fflush(stdout);
    int savedStdout = dup(STDOUT_FILENO);
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    int failures = 0;
    for (auto _ : state) {
        failures += LoadConfigurationFrom(path.c_str(), nullptr) != 0;
    }
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(devNull);
    close(savedStdout);
    std::remove(path.c_str());
    if (failures > 0) {
        state.SkipWithError("the configuration did not load");
    }
}
BENCHMARK(BM_LoadConfiguration_10x128)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
