#include "responder_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

int ConnectWhenListening(int port, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

void ClosePeer(int fd) {
    close(fd);
}

std::string ReceiveBytes(int fd, size_t count, int seconds) {
    std::string received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (received.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[4096];
        ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - received.size()), 0);
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

bool PeerClosed(int fd, int seconds) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, seconds * 1000) <= 0) {
        return false;
    }
    char byte;
    return recv(fd, &byte, 1, 0) == 0;
}
