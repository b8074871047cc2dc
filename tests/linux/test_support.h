// Small tools the Linux service tests share: temporary directories, child
// processes and waiting with a deadline.
#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vmkt::test {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The full path of a program found on PATH, or nothing.
std::optional<std::string> findProgram(const std::string &name);

// A child process started from argv (argv[0] looked up on PATH) with the
// current environment; its output goes to logFile (or /dev/null).
class Process {
public:
    Process(const std::vector<std::string> &argv, const std::string &logFile = "/dev/null");
    ~Process(); // kills (SIGKILL) and reaps the child if it still runs
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    void signal(int sig) const;
    // Waits for the child to end; its exit status (as waitpid gives it), or
    // nothing when it still runs after the timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // Sends sig, then waits for the end (SIGKILL after the timeout).
    void stop(int sig = SIGTERM, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

// Runs a program to its end; its exit code, or -1 when it did not exit
// normally within the timeout.
int run(const std::vector<std::string> &argv,
        std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Polls the condition every few milliseconds until it holds or the timeout
// passes; gives its last value.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &contents);

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace vmkt::test
