#pragma once

// What a running responder holds, read from its /proc entry (Linux only:
// included by POSIX-only tests).

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The /proc entry of the velk-tester serving `port` for `controller` (its
// arguments end with them), or "".
inline std::string ProcOfResponder(const std::string& controller, int port) {
    const std::string tail = controller + '\0' + std::to_string(port) + '\0';
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find("velk-tester") != std::string::npos && cmdline.size() >= tail.size() &&
            cmdline.compare(cmdline.size() - tail.size(), tail.size(), tail) == 0) {
            return entry.path().string();
        }
    }
    return "";
}

// Its open descriptors.
inline int ProcDescriptors(const std::string& proc) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
        ++count;
    }
    return count;
}

// Its resident memory in kB, or -1.
inline long ProcResidentKb(const std::string& proc) {
    std::ifstream in(proc + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}
