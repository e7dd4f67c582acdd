#include "tools/work/BoundedQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::dbtool {
namespace {

// What is put comes out in order, however far the putting runs ahead of a queue of two; a
// close lets the taker empty it first; a stop wakes a putter waiting for room and ends both.
TEST(toolsBoundedQueue, HandsOnInOrderAndAStopEndsBothSides)
{
    BoundedQueue<int> queue(2);
    std::thread putter([&] {
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(queue.put(i));
        queue.close();
    });
    std::vector<int> taken;
    while (std::optional<int> item = queue.take())
        taken.push_back(*item);
    putter.join();
    ASSERT_EQ(taken.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(taken[static_cast<std::size_t>(i)], i);

    BoundedQueue<int> full(1);
    ASSERT_TRUE(full.put(1));
    bool refused = false;
    std::thread waiting([&] { refused = !full.put(2); }); // waits for room that never comes
    full.stop();
    waiting.join();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(full.take());
}

} // namespace
} // namespace quillet::dbtool
