#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace quillet::dbtool {

// Hands items from one thread that reads to one that works on them, holding at most room items
// between them, so that reading ahead never takes more memory than that: put waits while the
// queue is full, take while it is empty. The reader closes it when it is done, and the worker
// then takes what is left and ends; either side stops it when it gives up, which ends both at
// once and drops what waits.
template <typename T>
class BoundedQueue
{
public:
    explicit BoundedQueue(std::size_t room)
        : m_room(room)
    {
    }

    // False, the item dropped, once the queue is stopped.
    bool put(T item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_items.size() < m_room; });
        if (m_stopped)
            return false;
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }

    // The next item; nothing once the queue is closed and empty, or stopped.
    std::optional<T> take()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_closed || !m_items.empty(); });
        if (m_stopped || m_items.empty())
            return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }

    void close()
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

    void stop()
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_items.clear();
        m_changed.notify_all();
    }

    bool stopped()
    {
        const std::lock_guard lock(m_mutex);
        return m_stopped;
    }

private:
    const std::size_t m_room;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
    bool m_stopped = false;
};

} // namespace quillet::dbtool
