#include "tools/work/Worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quillet::dbtool {
namespace {

using namespace std::chrono_literals;

struct WorkFailed : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Runs what on a thread of its own and says whether it ended within a few seconds. When it did
// not, a side is left waiting on the queue for good: the queue is stopped to free it, so that a
// slip in the worker's stopping fails the test instead of hanging it.
template <typename What>
bool endsInTime(BoundedQueue<int> &queue, What what)
{
    std::packaged_task<void()> task(what);
    std::future<void> ended = task.get_future();
    std::thread running(std::move(task));
    const bool inTime = ended.wait_for(10s) == std::future_status::ready;
    if (!inTime)
        queue.stop();
    running.join();
    return inTime;
}

// What the work throws comes back at join, on this thread, whichever end of the queue it holds,
// and its end never leaves the caller waiting: work that puts closes the queue, so that what it
// put before its problem is still taken; work that takes stops it, so that a putter wakes.
TEST(toolsWorker, AProblemOfTheWorkComesBackAtJoin)
{
    Worker<int> reader(WorkerEnd::Puts, 1, [](BoundedQueue<int> &queue) {
        for (int i = 0; i < 3; ++i)
            queue.put(i);
        throw WorkFailed("the file ends in a row");
    });
    std::vector<int> taken;
    ASSERT_TRUE(endsInTime(reader.queue(), [&] {
        while (std::optional<int> item = reader.queue().take())
            taken.push_back(*item);
    }));
    EXPECT_EQ(taken, (std::vector<int>{0, 1, 2}));
    EXPECT_THROW(reader.join(), WorkFailed);

    Worker<int> maker(WorkerEnd::Takes, 1, [](BoundedQueue<int> &queue) {
        queue.take();
        throw WorkFailed("a node's text is not XML");
    });
    bool refused = false;
    ASSERT_TRUE(endsInTime(maker.queue(), [&] {
        for (int i = 0; i < 100 && !refused; ++i)
            refused = !maker.queue().put(i);
    }));
    EXPECT_TRUE(refused);
    EXPECT_THROW(maker.join(), WorkFailed);
}

// A caller that gives up lets the worker go unjoined: the queue is stopped, so that work
// waiting on either end ends, and the worker is not gone before its work is.
TEST(toolsWorker, ACallerThatGivesUpEndsTheWork)
{
    for (const WorkerEnd end : {WorkerEnd::Puts, WorkerEnd::Takes}) {
        SCOPED_TRACE(end == WorkerEnd::Puts ? "work that puts" : "work that takes");
        std::atomic<bool> ended = false;
        auto worker = std::make_unique<Worker<int>>(end, 1, [&](BoundedQueue<int> &queue) {
            if (end == WorkerEnd::Puts)
                while (queue.put(1)) {
                }
            else
                while (queue.take()) {
                }
            ended = true;
        });
        BoundedQueue<int> &queue = worker->queue();
        // One item through, so that the work is waiting on its end when the caller gives up.
        if (end == WorkerEnd::Puts)
            ASSERT_TRUE(queue.take());
        else
            ASSERT_TRUE(queue.put(1));
        EXPECT_TRUE(endsInTime(queue, [&] { worker.reset(); }));
        EXPECT_TRUE(ended);
    }
}

} // namespace
} // namespace quillet::dbtool
