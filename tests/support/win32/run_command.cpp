#include "run_command.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>

CommandResult RunCommand(const std::string& commandLine) {
    std::string command = commandLine + " 2>&1";
    FILE* pipe = _popen(command.c_str(), "rt");
    if (pipe == nullptr) {
        return {-1, "_popen failed"};
    }
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    return {_pclose(pipe), output};
}

// The tests change their working directory, possibly to another drive: the
// program beside them is found from the test program's own full path.
CommandResult RunVelkctl(const std::string& arguments) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    std::filesystem::path program =
        std::filesystem::path(std::string(self, length)).parent_path().parent_path() /
        "velkctl.exe";
    std::string command = "\"";
    command += program.string();
    command += "\" ";
    command += arguments;
    return RunCommand(command);
}
