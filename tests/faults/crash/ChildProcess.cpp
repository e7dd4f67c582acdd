#include "faults/crash/ChildProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char **environ;

namespace quillet::crashtest {

namespace {

[[noreturn]] void systemError(int code, const char *what)
{
    throw std::system_error(code, std::generic_category(), what);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &arguments)
{
    // Both ends close on exec; the child gets the write end as its stdout through dup2, which
    // clears that flag on the copy only.
    std::array<int, 2> pipeEnds{};
    if (::pipe2(pipeEnds.data(), O_CLOEXEC) != 0)
        systemError(errno, "pipe2");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    // A writer whose reader has gone must die of SIGPIPE, even if our own process ignores it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    if (rc != 0) {
        ::close(pipeEnds[0]);
        m_pid = -1;
        systemError(rc, "posix_spawn");
    }
    m_output = pipeEnds[0];
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        try {
            wait();
        } catch (const std::system_error &) {
            // Nothing left to do about a child we cannot reap while unwinding.
        }
    }
    if (m_output >= 0)
        ::close(m_output);
}

ChildProcess::Stop ChildProcess::readLines(Clock::time_point deadline,
                                           const std::function<bool(std::string_view)> &onLine)
{
    while (true) {
        // Lines already read come first, so that a deadline in the past still hands them on.
        std::size_t end;
        while ((end = m_pending.find('\n')) != std::string::npos) {
            const std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (onLine(line))
                return Stop::Done;
        }
        if (m_output < 0)
            return Stop::EndOfOutput;

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Stop::Deadline;
        pollfd watched{m_output, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            systemError(errno, "poll");
        if (ready == 0)
            continue;

        char buffer[4096];
        const ssize_t n = ::read(m_output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            systemError(errno, "read");
        if (n == 0) {
            // A killed child may leave an unfinished last line; it was never a whole report.
            ::close(m_output);
            m_output = -1;
            m_pending.clear();
            continue;
        }
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void ChildProcess::kill()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}

int ChildProcess::wait()
{
    int status = 0;
    const pid_t pid = m_pid;
    m_pid = -1;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            systemError(errno, "waitpid");
    }
    return status;
}

} // namespace quillet::crashtest
