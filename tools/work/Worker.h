#pragma once

#include "tools/work/BoundedQueue.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

namespace quillet::dbtool {

// The end of the queue the work holds: it puts what the caller takes, or takes what it puts.
enum class WorkerEnd { Puts, Takes };

// Work on a thread of its own beside the calling thread, the two joined by a bounded queue: the
// one shape of the tool's background work. What the work throws is caught on its thread and
// thrown again on the caller's by join(), so that a problem met in the background is said as
// if it had been met here.
//
// The work's end, however it comes, lets go of its end of the queue: work that puts closes it,
// so that the caller still takes everything put before a problem and meets the problem after
// it; work that takes stops it, so that a caller waiting for room wakes at once. A caller that
// gives up lets the worker go unjoined: that stops the queue, which ends the work at its next
// put or take, and waits for it; whatever the work threw then is dropped for the caller's own.
template <typename T>
class Worker
{
public:
    using Work = std::function<void(BoundedQueue<T> &queue)>;

    // Starts work on the queue of room items.
    Worker(WorkerEnd end, std::size_t room, Work work)
        : m_queue(room)
        , m_end(end)
        , m_thread([this, work = std::move(work)] { run(work); })
    {
    }

    ~Worker()
    {
        if (m_thread.joinable()) {
            m_queue.stop();
            m_thread.join();
        }
    }

    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // The caller's end of the queue.
    BoundedQueue<T> &queue() { return m_queue; }

    // Waits for the work to end, once, and throws what it threw. Everything the work wrote is
    // the caller's to read from then on.
    void join()
    {
        m_thread.join();
        if (m_problem)
            std::rethrow_exception(std::exchange(m_problem, nullptr));
    }

private:
    // The work's thread.
    void run(const Work &work)
    {
        try {
            work(m_queue);
        } catch (...) {
            m_problem = std::current_exception();
        }
        if (m_end == WorkerEnd::Puts)
            m_queue.close();
        else
            m_queue.stop();
    }

    BoundedQueue<T> m_queue;
    const WorkerEnd m_end;
    std::exception_ptr m_problem; // the work's until joined
    std::thread m_thread;         // last: it starts once everything it uses is made
};

} // namespace quillet::dbtool
