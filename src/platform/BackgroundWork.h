#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

namespace quillet {

// The one way the program works in the background: work runs on a thread of a pool of its own,
// can be asked to stop, and reaches the user-interface thread only through answers. Starting
// again asks the work under way to stop and queues the new work behind it, without waiting for
// it: nothing is joined while the user types. Whatever a work throws is caught and handed to
// the failure handler on the context's thread. Destroying it stops the work and waits for it,
// so that no work outlives what it reports to.
class BackgroundWork
{
public:
    // Answers and failures run in the context's thread, and are dropped once it is gone.
    explicit BackgroundWork(QObject *context, std::function<void(const QString &what)> failed = {});
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork &) = delete;
    BackgroundWork &operator=(const BackgroundWork &) = delete;

    // Runs work on the pool's thread; it reads the flag that asks it to stop.
    void start(std::function<void(const std::atomic<bool> &stop)> work);
    // Asks the work under way to stop, without waiting for it.
    void stop();
    // From the work: runs answer on the context's thread, after what is queued there already.
    void answer(std::function<void()> answer);

private:
    QObject *m_context = nullptr;
    std::function<void(const QString &)> m_failed;
    std::shared_ptr<std::atomic<bool>> m_stop; // the flag of the newest work
    QThreadPool m_pool;
};

} // namespace quillet
