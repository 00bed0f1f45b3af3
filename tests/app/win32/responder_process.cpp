// The Windows side of ResponderProcess: CreateProcess.

#include "app/responder_process.h"

// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
// clang-format off
#include <windows.h>
// clang-format on

#include <cstring>
#include <map>

const bool kArgumentsArriveWhole = false;

namespace {

// The process handles by process id: the handle keeps the exit code after
// the process has ended.
std::map<pid_t, HANDLE>& Processes() {
    static std::map<pid_t, HANDLE> processes;
    return processes;
}

// The environment block of this process with the given variables set and
// OPERATOR_SCRIPT taken from the map only.
std::string EnvironmentBlock(const std::map<std::string, std::string>& environment) {
    std::map<std::string, std::string> variables;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        std::string text(entry);
        size_t equals = text.find('=', 1);
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    FreeEnvironmentStringsA(block);
    variables.erase("OPERATOR_SCRIPT");
    for (const auto& [name, value] : environment) {
        variables[name] = value;
    }
    std::string result;
    for (const auto& [name, value] : variables) {
        result.append(name).append(1, '=').append(value).append(1, '\0');
    }
    result.append(1, '\0');
    return result;
}

}  // namespace

ResponderProcess::ResponderProcess(const TempRoot& root,
                                   std::map<std::string, std::string> environment)
    : root_(root), environment_(std::move(environment)) {}

ResponderProcess::~ResponderProcess() {
    Stop();
}

void ResponderProcess::Start(const std::string& controller, const std::string& port) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    std::filesystem::path program =
        std::filesystem::path(std::string(self, length)).parent_path().parent_path() /
        "velk-tester.exe";
    std::string commandLine(1, '"');
    commandLine.append(program.string()).append(1, '"');
    for (const std::string* token : {&controller, &port}) {
        if (!token->empty()) {
            commandLine.append(1, ' ').append(*token);
        }
    }
    std::string work = (root_.root() / "work").string();
    std::string errors = (root_.root() / "stderr.txt").string();
    std::string output = (root_.root() / "stdout.txt").string();

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string environment = EnvironmentBlock(environment_);
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, environment.data(),
                       work.c_str(), &startup, &started)) {
        CloseHandle(started.hThread);
        pid_ = static_cast<pid_t>(started.dwProcessId);
        Processes()[pid_] = started.hProcess;
    }
    CloseHandle(err);
    CloseHandle(out);
    CloseHandle(in);
}

int ResponderProcess::Wait(int seconds) {
    auto found = Processes().find(pid_);
    if (pid_ <= 0 || found == Processes().end()) {
        return -1;
    }
    if (WaitForSingleObject(found->second, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) {
        Stop();
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(found->second, &code);
    CloseHandle(found->second);
    Processes().erase(found);
    pid_ = -1;
    return static_cast<int>(code);
}

void ResponderProcess::Stop() {
    auto found = Processes().find(pid_);
    if (pid_ > 0 && found != Processes().end()) {
        TerminateProcess(found->second, 255);
        WaitForSingleObject(found->second, INFINITE);
        CloseHandle(found->second);
        Processes().erase(found);
    }
    pid_ = -1;
}

// Standard error is a text stream, whose lines Windows ends with CR LF.
std::string ResponderProcess::Stderr() const {
    return ReadText(root_.root() / "stderr.txt");
}

std::string ResponderProcess::Stdout() const {
    return ReadText(root_.root() / "stdout.txt");
}
