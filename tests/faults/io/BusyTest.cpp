#include "faults/io/FileChecks.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

// How another program can hold the file.
struct Lock
{
    const char *name;
    const char *sql; // leaves a transaction open that holds the lock
};

const Lock kLocks[] = {
    // A writer: nobody else may even read.
    {"exclusive", "BEGIN EXCLUSIVE"},
    // A reader in the middle of a read: our write goes as far as its commit, which must wait
    // for the reader to finish.
    {"shared", "BEGIN; SELECT count(*) FROM mynodes"},
};

// Another program's connection holding the file locked, on a thread of its own, until a
// deadline or until told to let go, whichever comes first.
class LockHolder
{
public:
    LockHolder(const std::string &path, const Lock &kind, Clock::duration holdFor)
        : m_thread([this, path, sql = kind.sql, holdFor] { hold(path, sql, holdFor); })
    {
        // Bounded: the lock is taken at once or the holder reports why not.
        std::future<bool> locked = m_locked.get_future();
        if (locked.wait_for(std::chrono::seconds(30)) != std::future_status::ready || !locked.get())
            ADD_FAILURE() << "the other connection could not lock the file";
    }
    ~LockHolder()
    {
        release();
        m_thread.join();
    }
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;

    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_releaseNow = true;
        }
        m_wake.notify_all();
    }
    // Waits, bounded, until the holder has committed and closed.
    void waitClosed()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::seconds(30), [this] { return m_closed; });
    }
    // True from just before the holder commits: nobody else can have written before then.
    bool lettingGo() const { return m_lettingGo; }

private:
    void hold(const std::string &path, const char *sql, Clock::duration holdFor)
    {
        sqlite3 *db = nullptr;
        const bool ok =
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        m_locked.set_value(ok);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_until(lock, Clock::now() + holdFor, [this] { return m_releaseNow; });
        }
        m_lettingGo = true;
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_closed = true;
        }
        m_wake.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_releaseNow = false;
    bool m_closed = false;
    std::atomic<bool> m_lettingGo = false;
    std::promise<bool> m_locked;
    std::thread m_thread;
};

class BusyTest : public testing::Test
{
protected:
    void SetUp() override { test::createDatabase(m_path, {{"A", "first"}, {"B", "second"}}); }

    std::string storedNote()
    {
        test::CheckConnection check(m_path);
        return test::queryText(check.handle(), "SELECT Keimeno FROM mynodes WHERE Kleidi='A'");
    }

    test::TempFolder m_folder;
    std::string m_path = m_folder.path("mydata.mdb");
};

using faultsBusy = BusyTest;

// A lock held for a second is waited out: the save goes through after the other connection
// lets go, without the user seeing an error.
TEST_F(faultsBusy, ShortLockIsWaitedOut)
{
    for (const Lock &kind : kLocks) {
        const std::string text = std::string("after the ") + kind.name + " lock";
        NoteStore store(m_path);
        LockHolder holder(m_path, kind, std::chrono::seconds(1));
        const Clock::time_point start = Clock::now();
        EXPECT_NO_THROW(store.saveText("A", text)) << kind.name;
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        // The save cannot have gone through while the other connection held the file.
        EXPECT_TRUE(holder.lettingGo()) << kind.name;
        EXPECT_EQ(storedNote(), text) << kind.name;
        std::printf("[ faults ] a 1 s %s lock delayed the save by %lld ms\n", kind.name,
                    static_cast<long long>(waited.count()));
    }
}

// Another program in the middle of a write holds the file for a moment: the writes that read
// before they write wait for it too, because each begins as a writer, not as a reader that
// could not become one without failing at once.
TEST_F(faultsBusy, WritesThatReadFirstWaitOutABriefWriter)
{
    const Lock writer{"reserved", "BEGIN IMMEDIATE"};
    const std::pair<const char *, std::function<void(NoteStore &)>> writes[] = {
        {"expanded flags",
         [](NoteStore &store) {
             store.storeExpanded({true, false});
         }},
        {"settings",
         [](NoteStore &store) {
             store.storeSettings(Settings());
         }},
        {"subtree delete",
         [](NoteStore &store) {
             store.deleteSubtree("B");
         }},
    };
    for (const auto &[name, write] : writes) {
        NoteStore store(m_path);
        LockHolder holder(m_path, writer, std::chrono::seconds(1));
        EXPECT_NO_THROW(write(store)) << name;
        EXPECT_TRUE(holder.lettingGo()) << name;
    }
    EXPECT_EQ(test::querySql(m_path, "SELECT group_concat(anoixto) FROM mynodes"), "1");
}

// A lock held longer than the busy timeout: the save reports the lock, stores nothing, and
// goes through when tried again after the other connection has let go.
TEST_F(faultsBusy, LongLockIsReportedAndTheRetrySucceeds)
{
    for (const Lock &kind : kLocks) {
        const std::string before = storedNote();
        NoteStore store(m_path);
        std::chrono::milliseconds waited{};
        {
            LockHolder holder(m_path, kind, std::chrono::seconds(10));
            const Clock::time_point start = Clock::now();
            try {
                store.saveText("A", "while locked");
                ADD_FAILURE() << kind.name << ": stored while another connection held the file";
            } catch (const StoreError &error) {
                EXPECT_EQ(error.code() & 0xFF, SQLITE_BUSY) << kind.name << ": " << error.message();
                EXPECT_NE(error.message().find("holds it locked"), std::string::npos)
                    << kind.name << ": " << error.message();
            }
            waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            // The failure came while the lock was still held, not from anything else.
            EXPECT_FALSE(holder.lettingGo()) << kind.name;
            holder.release();
            holder.waitClosed();
        }
        EXPECT_EQ(storedNote(), before) << kind.name;
        const std::string text = std::string("after the ") + kind.name + " lock";
        store.saveText("A", text);
        EXPECT_EQ(storedNote(), text) << kind.name;
        std::printf("[ faults ] a 10 s %s lock was reported after %lld ms\n", kind.name,
                    static_cast<long long>(waited.count()));
    }
}

} // namespace
} // namespace quillet
