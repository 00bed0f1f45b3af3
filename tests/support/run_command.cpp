#include "run_command.h"

#include <sys/wait.h>

#include <cstdio>

CommandResult RunCommand(const std::string& commandLine) {
    std::string command = commandLine + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, "popen failed"};
    }
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

CommandResult RunVelkctl(const std::string& arguments) {
    return RunCommand(std::string(VELK_BINARY_DIR) + "/velkctl " + arguments);
}
