#include "responder_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

const bool kArgumentsArriveWhole = true;

ResponderProcess::ResponderProcess(const TempRoot& root,
                                   std::map<std::string, std::string> environment)
    : root_(root), environment_(std::move(environment)) {}

ResponderProcess::~ResponderProcess() {
    Stop();
}

void ResponderProcess::Start(const std::string& controller, const std::string& port) {
    std::string program = std::string(VELK_BINARY_DIR) + "/velk-tester";
    std::string work = (root_.root() / "work").string();
    std::string errors = (root_.root() / "stderr.txt").string();
    std::string output = (root_.root() / "stdout.txt").string();
    pid_ = fork();
    if (pid_ == 0) {
        for (const auto& [name, value] : environment_) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        if (chdir(work.c_str()) != 0) {
            _exit(127);
        }
        int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        dup2(out, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        if (!controller.empty()) {
            argv.push_back(const_cast<char*>(controller.c_str()));
        }
        if (!port.empty()) {
            argv.push_back(const_cast<char*>(port.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

int ResponderProcess::Wait(int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (pid_ > 0) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            Stop();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void ResponderProcess::Signal(int signal) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

void ResponderProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::string ResponderProcess::Stderr() const {
    return ReadFile(root_.root() / "stderr.txt");
}

std::string ResponderProcess::Stdout() const {
    return ReadFile(root_.root() / "stdout.txt");
}
