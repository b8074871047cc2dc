#include "tests/linux/test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace vmkt::test {

TempDir::TempDir() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vmkt-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    }
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::optional<std::string> findProgram(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

Process::Process(const std::vector<std::string> &argv, const std::string &logFile) {
    std::vector<char *> args;
    for (const auto &arg : argv) {
        args.push_back(const_cast<char *>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    if (started() && !reaped_) {
        stop(SIGKILL);
    }
}

void Process::signal(int sig) const {
    if (started() && !reaped_) {
        ::kill(pid_, sig);
    }
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    if (!started()) {
        return std::nullopt;
    }
    if (reaped_) {
        return status_;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            reaped_ = true;
            status_ = status;
            return status;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Process::stop(int sig, std::chrono::milliseconds timeout) {
    if (!started() || reaped_) {
        return;
    }
    ::kill(pid_, sig);
    if (!wait(timeout)) {
        ::kill(pid_, SIGKILL);
        wait(std::chrono::seconds(30));
    }
}

int run(const std::vector<std::string> &argv, std::chrono::milliseconds timeout) {
    Process process(argv);
    if (!process.started()) {
        return -1;
    }
    const auto status = process.wait(timeout);
    if (!status) {
        process.stop(SIGKILL);
        return -1;
    }
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void writeFile(const std::string &path, const std::string &contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace vmkt::test
