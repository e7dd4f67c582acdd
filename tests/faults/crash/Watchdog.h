#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace quillet::crashtest {

// Ends the test program with a message naming the case when one step of a test takes far
// longer than it ever should: a hang in the code under test then shows which input caused it
// within seconds, instead of as a bare ctest timeout at the end.
class Watchdog
{
public:
    using Clock = std::chrono::steady_clock;

    Watchdog()
        : m_thread([this] { watch(); })
    {
    }

    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void arm(std::string what, Clock::duration limit)
    {
        {
            std::lock_guard lock(m_mutex);
            m_what = std::move(what);
            m_deadline = Clock::now() + limit;
            m_armed = true;
            ++m_generation;
        }
        m_changed.notify_all();
    }

    void disarm()
    {
        {
            std::lock_guard lock(m_mutex);
            m_armed = false;
            ++m_generation;
        }
        m_changed.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            const unsigned generation = m_generation;
            const bool moved = m_changed.wait_until(
                lock, m_deadline, [&] { return m_stopping || m_generation != generation; });
            if (!moved) {
                std::fprintf(stderr, "Hang: still busy with %s after the time limit.\n",
                             m_what.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    bool m_armed = false;
    unsigned m_generation = 0;
    Clock::time_point m_deadline;
    std::string m_what;
    std::thread m_thread; // last, so that it starts after everything it reads
};

} // namespace quillet::crashtest
