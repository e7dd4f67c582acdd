#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quillet::crashtest {

// A child process whose standard output comes to us through a pipe, read line by line with a
// deadline, so that a child that stops talking can never make the test wait for ever.
class ChildProcess
{
public:
    using Clock = std::chrono::steady_clock;

    // Starts program with the arguments (program first); stderr stays the test's own. Throws
    // std::system_error when the process cannot be started.
    explicit ChildProcess(const std::vector<std::string> &arguments);
    // A child still running is killed and reaped: no test leaves a writer behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    enum class Stop { Deadline, EndOfOutput, Done };

    // Hands every complete line, without its line break, to onLine until onLine returns true
    // (Done), the deadline passes (Deadline) or the child's end of the pipe closes
    // (EndOfOutput, after the last line).
    Stop readLines(Clock::time_point deadline,
                   const std::function<bool(std::string_view line)> &onLine);

    void kill();
    // Reaps the child and returns its wait status. Blocks; call after kill() or once the
    // output has ended.
    int wait();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_pending; // bytes after the last complete line
};

} // namespace quillet::crashtest
