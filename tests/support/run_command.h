#pragma once

#include <string>

struct CommandResult {
    int exitCode;        // -1 when the program did not exit normally
    std::string output;  // standard output and standard error together
};

// Runs a shell command line in the current directory and waits for it.
CommandResult RunCommand(const std::string& commandLine);

// Runs the velkctl built beside the tests with the given arguments.
CommandResult RunVelkctl(const std::string& arguments);
