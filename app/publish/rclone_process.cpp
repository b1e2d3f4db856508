#include "app/publish/rclone_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mirofoto::publish {
namespace {

bool executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string findRclone() {
    if (const char* named = std::getenv("MIROFOTO_RCLONE"); named && *named)
        return executable(named) ? std::string(named) : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && executable(dir + "/rclone")) return dir + "/rclone";
        start = end + 1;
    }
    return {};
}

ProcessOutcome runProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::function<void(const std::string&)>& onLine,
                          const std::function<bool()>& stop, const std::string& input) {
    ProcessOutcome outcome;
    // Everything the child needs is made before the fork: after it, in a
    // program with threads, only async-signal-safe calls are allowed.
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        outcome.why = std::strerror(errno);
        return outcome;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        outcome.why = std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return outcome;
    }
    // Standard input: a pipe that holds the input and is closed behind it.
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        outcome.why = std::strerror(errno);
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        return outcome;
    }
    const int childInput = in[0];
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);  // we were gone before the line above
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(childInput, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        // Nothing else goes along: not the output folder's lock, nor a
        // window's sockets.
        ::syscall(SYS_close_range, 3U, ~0U, 0U);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    if (pid > 0 && !input.empty() && input.size() <= 4096) {
        // Fits the pipe's buffer: written whole before the child reads. A
        // child that is gone already must not take us along by SIGPIPE.
        sigset_t pipeSignal, old;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
        if (::write(in[1], input.data(), input.size()) < 0 && errno == EPIPE) {
            const timespec none{0, 0};
            ::sigtimedwait(&pipeSignal, nullptr, &none);
        }
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    ::close(in[1]);
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        outcome.why = std::strerror(errno);
        ::close(out[0]);
        ::close(err[0]);
        return outcome;
    }
    outcome.started = true;
    std::string pending;
    bool outOpen = true, errOpen = true;
    bool termSent = false;
    std::chrono::steady_clock::time_point termAt;
    char buffer[65536];
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], static_cast<short>(outOpen ? POLLIN : 0), 0},
                         {err[0], static_cast<short>(errOpen ? POLLIN : 0), 0}};
        const int ready = ::poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::read(out[0], buffer, sizeof buffer);
                if (n > 0) outcome.output.append(buffer, static_cast<std::size_t>(n));
                else if (n == 0 || errno != EINTR) outOpen = false;
            }
            if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::read(err[0], buffer, sizeof buffer);
                if (n > 0) {
                    pending.append(buffer, static_cast<std::size_t>(n));
                    for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                        const std::string line = pending.substr(0, nl);
                        pending.erase(0, nl + 1);
                        if (onLine) onLine(line);
                    }
                } else if (n == 0 || errno != EINTR) {
                    errOpen = false;
                }
            }
        }
        if (!termSent && stop && stop()) {
            ::kill(-pid, SIGTERM);
            termSent = true;
            outcome.stopped = true;
            termAt = std::chrono::steady_clock::now();
        } else if (termSent && std::chrono::steady_clock::now() - termAt > std::chrono::seconds(5)) {
            ::kill(-pid, SIGKILL);
            termAt = std::chrono::steady_clock::now() + std::chrono::hours(1);
        }
    }
    if (!pending.empty() && onLine) onLine(pending);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

}  // namespace mirofoto::publish
