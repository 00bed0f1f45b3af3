#pragma once

#include <sys/types.h>

#include <map>
#include <string>

#include "loopback.h"  // FreePort, ConnectWhenListening and the peer helpers
#include "temp_root.h"

// The real velk-tester started in a temporary installation (data/velk.cfg,
// log/, and a working directory beside them), driven over 127.0.0.1.
class ResponderProcess {
  public:
    ResponderProcess(const TempRoot& root, std::map<std::string, std::string> environment);
    ~ResponderProcess();

    // Starts velk-tester with the arguments; standard error and standard
    // output are kept.
    void Start(const std::string& controller, const std::string& port);
    // Waits for the process to end by itself; returns its exit code (-1 on a
    // time-out, after which it is killed).
    int Wait(int seconds);
    void Stop();
    // Sends a signal (POSIX).
    void Signal(int signal);
    std::string Stderr() const;
    std::string Stdout() const;

  private:
    const TempRoot& root_;
    std::map<std::string, std::string> environment_;
    pid_t pid_ = -1;
};

// True where the program receives its arguments one by one (POSIX), so that
// an argument holding a blank stays one argument; on Windows the program
// cuts its one command line into tokens itself.
extern const bool kArgumentsArriveWhole;
