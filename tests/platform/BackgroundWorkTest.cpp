#include "platform/BackgroundWork.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace quillet {
namespace {

// Starting again asks the work under way to stop and never waits for it on the calling thread;
// what a work throws comes back to the context's thread; answers arrive there too.
TEST(BackgroundWorkTest, NothingIsWaitedForAndWhatWorkThrowsIsSaid)
{
    QObject context;
    QStringList said;
    std::atomic<bool> released{false};
    std::atomic<bool> askedToStop{false};
    {
        BackgroundWork work(&context, [&](const QString &what) { said << "failed: " + what; });
        work.start([&](const std::atomic<bool> &stop) {
            // Held until the test lets it go; a start that waited for it would never return.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!released && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            askedToStop = stop.load();
        });
        work.start([](const std::atomic<bool> &) { throw std::runtime_error("disk gone"); });
        released = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 20000));
        EXPECT_TRUE(askedToStop);
        work.start([&](const std::atomic<bool> &) { work.answer([&] { said << "answered"; }); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return said.size() == 2; }, 20000));
    }
    EXPECT_EQ(said, (QStringList{"failed: disk gone", "answered"}));
}

} // namespace
} // namespace quillet
