#pragma once

#include <string>

namespace CLI {
class App;
}

// Options every command shares, and the exit code the chosen command sets.
struct GlobalOptions {
    std::string configPath = "../data/velk.cfg";
    int exitCode = 0;
};

void AddConfigCommand(CLI::App& app, GlobalOptions& global);
void AddPublishCommand(CLI::App& app, GlobalOptions& global);
void AddSendCommand(CLI::App& app, GlobalOptions& global);
void AddShowCommand(CLI::App& app, GlobalOptions& global);
void AddMakeCommand(CLI::App& app, GlobalOptions& global);
void AddDissectorCommand(CLI::App& app, GlobalOptions& global);
void AddCheckCommand(CLI::App& app, GlobalOptions& global);
