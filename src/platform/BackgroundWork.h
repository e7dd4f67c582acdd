#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

namespace quillet {

// Work on a thread of its own that can be asked to stop, whose answers reach the user-interface
// thread. Starting again stops the work under way and waits for it; so does destroying it, so
// that the work never outlives what it reports to.
class BackgroundWork
{
public:
    // Answers run in the context's thread, and are dropped once the context is gone.
    explicit BackgroundWork(QObject *context);
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork &) = delete;
    BackgroundWork &operator=(const BackgroundWork &) = delete;

    // Runs work on its own thread; it reads the flag that asks it to stop.
    void start(std::function<void(const std::atomic<bool> &stop)> work);
    // Asks the work under way to stop, and waits until it has.
    void stop();
    // From the work: runs answer on the context's thread, after what is queued there already.
    void answer(std::function<void()> answer);

private:
    QObject *m_context = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace quillet
