#include "faults/io/FaultVfs.h"
#include "faults/io/FileChecks.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace quillet {
namespace {

using test::FaultVfs;

// More fault points than any single write of the small database makes; a sweep that gets
// here has not stopped, which is a fault of its own.
constexpr int kMaxPoints = 2000;

struct Operation
{
    const char *name;
    std::function<void(NoteStore &)> run;
};

// Each typed write of the store, as the program makes them, on the small database below.
const std::vector<Operation> &operations()
{
    static const std::vector<Operation> all = {
        // Long enough for overflow pages, so that the file grows and a rollback truncates it.
        {"saveText",
         [](NoteStore &store) {
             store.saveText("C4", std::string(6000, 'n'));
         }},
        {"rename",
         [](NoteStore &store) {
             store.rename("D", "Renamed item");
         }},
        {"insertItem",
         [](NoteStore &store) {
             store.insertItem("F", "New Item #1");
         }},
        {"deleteSubtree",
         [](NoteStore &store) {
             EXPECT_EQ(store.deleteSubtree("B"), 8);
         }},
        {"storeExpanded",
         [](NoteStore &store) {
             std::vector<bool> flags;
             for (int i = 0; i < 40; ++i)
                 flags.push_back(i % 3 == 0);
             store.storeExpanded(flags);
         }},
        {"storeSettings",
         [](NoteStore &store) {
             Settings settings;
             for (int position = 1; position <= Settings::kCount; ++position)
                 settings.at(position) = -1000 * position;
             store.storeSettings(settings);
         }},
    };
    return all;
}

// Forty items (A to E, each with seven children) whose notes of a few hundred bytes spread the
// table over several pages, and thirty settings rows.
void createSmallDatabase(const std::string &path)
{
    test::createEmptyDatabase(path);
    std::string sql = "BEGIN;";
    for (char top = 'A'; top <= 'E'; ++top) {
        for (int child = 0; child <= 7; ++child) {
            std::string key(1, top);
            if (child > 0)
                key += static_cast<char>('0' + child);
            const std::string note(300 + 10 * child, static_cast<char>('a' + child));
            sql += "INSERT INTO mynodes (Kleidi, MyText, Keimeno, anoixto) VALUES ('" + key +
                   "', 'Item " + key + "', '" + note + "', " + (child % 2 ? "1" : "0") + ");";
        }
    }
    for (int position = 1; position <= Settings::kCount; ++position)
        sql += "INSERT INTO parame (timilo) VALUES (" + std::to_string(7 * position) + ");";
    sql += "COMMIT;";
    test::execSql(path, sql);
}

class IoFaultTest : public testing::Test
{
protected:
    // What happens once the operation has returned or thrown.
    enum class Afterwards {
        DiskRecovers, // faults stop; the same store reads and writes again, then closes
        StoreCloses,  // the store is closed while the disk still fails
    };

    struct SweepResult
    {
        int points = 0; // counted calls of the fault-free run: every one was made to fail
        int writes = 0;
        int syncs = 0;
        int truncates = 0;
    };

    void SetUp() override
    {
        createSmallDatabase(m_base);
        m_before = test::fileState(m_base).tables;
    }

    std::string copyOfBase(const std::string &name)
    {
        const std::string file = m_folder.path(name + ".mdb");
        std::filesystem::copy_file(m_base, file);
        return file;
    }

    // The tables after the operation ran with nothing failing.
    std::string stateAfter(const Operation &op)
    {
        const std::string file = copyOfBase(std::string(op.name) + "-clean");
        {
            NoteStore store(file);
            op.run(store);
        }
        const std::string tables = test::fileState(file).tables;
        test::removeDatabase(file);
        return tables;
    }

    // Runs the operation; true when it succeeded. A failure must be a StoreError with the
    // engine's code of the fault that was injected and the plain reason for that code.
    bool runOperation(const Operation &op, NoteStore &store, const std::string &where)
    {
        try {
            op.run(store);
            return true;
        } catch (const StoreError &error) {
            EXPECT_EQ(error.code() & 0xFF, m_vfs.firstCode() & 0xFF)
                << where << ": " << error.message();
            EXPECT_NE(error.message().find(plainReason(error.code())), std::string::npos)
                << where << ": " << error.message();
        } catch (const std::exception &error) {
            ADD_FAILURE() << where << ": not a StoreError: " << error.what();
        } catch (...) {
            ADD_FAILURE() << where << ": not a StoreError";
        }
        return false;
    }

    // Which of the two allowed states the file's tables are in.
    std::string whichState(const std::string &tables, const std::string &after) const
    {
        if (tables == m_before)
            return "before";
        if (tables == after)
            return "after";
        return "neither before nor after";
    }

    // Runs the operation on a fresh copy of the small database with the n-th counted call
    // failing, for n = 1, 2, ... until a run makes fewer calls than n. Every run must end with
    // a sound file holding exactly the tables before the operation (it failed) or after it (it
    // succeeded).
    SweepResult sweep(const Operation &op, FaultVfs::Mode mode, Afterwards afterwards,
                      int writeCode)
    {
        const std::string after = stateAfter(op);
        EXPECT_NE(after, m_before) << op.name << " changes nothing";
        const char *modeName = label(mode, afterwards);
        for (int n = 1; n <= kMaxPoints; ++n) {
            const std::string where =
                std::string(op.name) + ", call " + std::to_string(n) + " failing " + modeName;
            const std::string file = copyOfBase(std::string(op.name) + "-" + std::to_string(n));
            bool succeeded = false;
            SweepResult counted;
            int injected = 0;
            {
                NoteStore store(file);
                m_vfs.arm(n, mode, writeCode);
                succeeded = runOperation(op, store, where);
                counted = {m_vfs.calls(), m_vfs.calls(FaultVfs::Call::Write),
                           m_vfs.calls(FaultVfs::Call::Sync),
                           m_vfs.calls(FaultVfs::Call::Truncate)};
                injected = m_vfs.injected();
                if (!succeeded && afterwards == Afterwards::DiskRecovers) {
                    // The disk works again: the failed write was rolled back whole, and the
                    // same store writes as if nothing had happened.
                    m_vfs.disarm();
                    EXPECT_EQ(whichState(test::tableDump(store.connection().handle()), after),
                              "before")
                        << where << ", read by the store's own connection";
                    succeeded = runOperation(op, store, where + ", then retried");
                    EXPECT_TRUE(succeeded) << where << ": the retry failed";
                }
            }
            m_vfs.disarm();
            const test::FileState state = test::fileState(file);
            EXPECT_EQ(state.integrity, "ok") << where;
            EXPECT_EQ(whichState(state.tables, after), succeeded ? "after" : "before") << where;
            test::removeDatabase(file);
            if (injected == 0) {
                EXPECT_TRUE(succeeded) << where;
                EXPECT_EQ(counted.points, n - 1) << where;
                return counted;
            }
        }
        ADD_FAILURE() << op.name << " still faulted after " << kMaxPoints << " points";
        return {};
    }

    // A save interrupted at its last call (the sync of the database file) by a disk that then
    // failed for good, so that the rollback failed too: the database file holds the new pages
    // and the journal beside it the old ones. The next open must roll it back.
    std::string interruptedSave()
    {
        const Operation &save = operations().front();
        const std::string probe = copyOfBase("probe");
        int last = 0;
        {
            NoteStore store(probe);
            m_vfs.arm(0, FaultVfs::Mode::Once);
            save.run(store);
            last = m_vfs.calls();
            m_vfs.disarm();
        }
        test::removeDatabase(probe);
        const std::string file = copyOfBase("interrupted");
        {
            NoteStore store(file);
            m_vfs.arm(last, FaultVfs::Mode::Forever);
            EXPECT_THROW(save.run(store), StoreError);
        }
        m_vfs.disarm();
        return file;
    }

    // Opens a copy of the interrupted save's file and journal with the n-th counted call of the
    // recovery failing, for n = 1, 2, ... until the open makes fewer calls than n. An open
    // either succeeds or is refused as an unusable database; either way the file then holds
    // exactly the tables before the save.
    SweepResult sweepRecovery(FaultVfs::Mode mode)
    {
        const std::string hot = interruptedSave();
        EXPECT_GT(std::filesystem::file_size(hot + "-journal"), 0U) << "no journal was left";
        const char *modeName = label(mode, Afterwards::StoreCloses);
        const std::string note = std::string(340, 'e'); // C4's note before the save
        for (int n = 1; n <= kMaxPoints; ++n) {
            const std::string where =
                "recovery, call " + std::to_string(n) + " failing " + modeName;
            const std::string file = m_folder.path("recover-" + std::to_string(n) + ".mdb");
            std::filesystem::copy_file(hot, file);
            std::filesystem::copy_file(hot + "-journal", file + "-journal");
            bool opened = false;
            SweepResult counted;
            m_vfs.arm(n, mode);
            try {
                NoteStore store(file);
                opened = true;
                counted = {m_vfs.calls(), m_vfs.calls(FaultVfs::Call::Write),
                           m_vfs.calls(FaultVfs::Call::Sync),
                           m_vfs.calls(FaultVfs::Call::Truncate)};
                EXPECT_EQ(store.readNote("C4")->text.toText(), note) << where;
            } catch (const DatabaseUnavailable &error) {
                EXPECT_EQ(error.code() & 0xFF, m_vfs.firstCode() & 0xFF)
                    << where << ": " << error.message();
                EXPECT_NE(error.message().find(plainReason(error.code())), std::string::npos)
                    << where << ": " << error.message();
            } catch (const std::exception &error) {
                ADD_FAILURE() << where << ": not refused as unusable: " << error.what();
            }
            const int injected = m_vfs.injected();
            m_vfs.disarm();
            if (!opened && mode == FaultVfs::Mode::Once) {
                // Opened again on a working disk, the store finishes the rollback itself.
                NoteStore store(file);
                EXPECT_EQ(store.readNote("C4")->text.toText(), note) << where << ", reopened";
            }
            const test::FileState state = test::fileState(file);
            EXPECT_EQ(state.integrity, "ok") << where;
            EXPECT_EQ(state.tables, m_before) << where;
            test::removeDatabase(file);
            if (injected == 0) {
                EXPECT_TRUE(opened) << where;
                EXPECT_EQ(counted.points, n - 1) << where;
                test::removeDatabase(hot);
                return counted;
            }
        }
        test::removeDatabase(hot);
        ADD_FAILURE() << "the recovery still faulted after " << kMaxPoints << " points";
        return {};
    }

    // The figures go into the README.
    static const char *label(FaultVfs::Mode mode, Afterwards afterwards)
    {
        if (mode == FaultVfs::Mode::Once)
            return "once";
        return afterwards == Afterwards::StoreCloses ? "for ever" : "burst";
    }

    static void report(const char *name, const char *mode, const SweepResult &result)
    {
        std::printf("[ faults ] %-13s %-8s %3d fault points (%d writes, %d syncs, %d truncates)\n",
                    name, mode, result.points, result.writes, result.syncs, result.truncates);
    }

    void sweepAll(FaultVfs::Mode mode, Afterwards afterwards)
    {
        for (const Operation &op : operations()) {
            const SweepResult result = sweep(op, mode, afterwards, SQLITE_IOERR_WRITE);
            EXPECT_GT(result.points, 0) << op.name << " made no write";
            report(op.name, label(mode, afterwards), result);
        }
    }

    test::TempFolder m_folder;
    std::string m_base = m_folder.path("base.mdb");
    std::string m_before;
    FaultVfs m_vfs;
};

using faultsIo = IoFaultTest;
using faultsFullDisk = IoFaultTest;

TEST_F(faultsIo, EveryWriteSurvivesEachCallFailingOnce)
{
    sweepAll(FaultVfs::Mode::Once, Afterwards::DiskRecovers);
}

TEST_F(faultsIo, EveryWriteSurvivesTheDiskFailingForEverFromEachCall)
{
    sweepAll(FaultVfs::Mode::Forever, Afterwards::StoreCloses);
}

// Every call fails from the n-th to the end of the operation and its rollback; then the disk
// works again and the same store carries on.
TEST_F(faultsIo, EveryWriteSurvivesABurstOfFailuresFromEachCall)
{
    sweepAll(FaultVfs::Mode::Forever, Afterwards::DiskRecovers);
}

// The next open after a save the disk broke off rolls the save back, even when the disk fails
// during that rollback: writing the old pages back, syncing, and cutting the file back to size.
TEST_F(faultsIo, RecoveryOfAnInterruptedSaveSurvivesEachCallFailing)
{
    for (const FaultVfs::Mode mode : {FaultVfs::Mode::Once, FaultVfs::Mode::Forever}) {
        const SweepResult result = sweepRecovery(mode);
        EXPECT_GT(result.truncates, 0) << "the rollback did not cut the file back";
        report("recovery", label(mode, Afterwards::StoreCloses), result);
    }
}

// A write that meets a full disk says so, leaves the row as it was, and goes through once
// there is room.
TEST_F(faultsFullDisk, NoRoomLeftByThePageLimitThenRoomMade)
{
    const std::string file = copyOfBase("limit");
    NoteStore store(file);
    const std::string pages = test::queryText(store.connection().handle(), "PRAGMA page_count");
    store.connection().exec(("PRAGMA max_page_count=" + pages).c_str());
    const std::string big(1 << 20, 'x');
    try {
        store.saveText("A1", big);
        ADD_FAILURE() << "a note of a megabyte fitted in " << pages << " pages";
    } catch (const StoreError &error) {
        EXPECT_EQ(error.code(), SQLITE_FULL) << error.message();
        EXPECT_NE(error.message().find("The disk is full"), std::string::npos) << error.message();
    }
    EXPECT_EQ(store.readNote("A1")->text.toText(), std::string(310, 'b'));
    EXPECT_EQ(test::fileState(file).tables, m_before);

    store.connection().exec("PRAGMA max_page_count=1073741823");
    store.saveText("A1", big);
    EXPECT_TRUE(store.readNote("A1")->text.toText() == big);
}

TEST_F(faultsFullDisk, NoRoomLeftOnTheDiskThenRoomMade)
{
    const std::string file = copyOfBase("vfs");
    NoteStore store(file);
    m_vfs.arm(1, FaultVfs::Mode::Forever, SQLITE_FULL);
    try {
        store.saveText("A1", "will not fit");
        ADD_FAILURE() << "stored on a full disk";
    } catch (const StoreError &error) {
        EXPECT_EQ(error.code(), SQLITE_FULL) << error.message();
        EXPECT_NE(error.message().find("The disk is full"), std::string::npos) << error.message();
    }
    m_vfs.disarm();
    EXPECT_EQ(store.readNote("A1")->text.toText(), std::string(310, 'b'));
    store.saveText("A1", "fits now");
    EXPECT_EQ(store.readNote("A1")->text.toText(), "fits now");
}

// The disk filling up at any point of a write, for good: every write call from the n-th on
// reports a full disk.
TEST_F(faultsFullDisk, SavingSurvivesTheDiskFillingUpAtEachCall)
{
    const SweepResult result =
        sweep(operations().front(), FaultVfs::Mode::Forever, Afterwards::StoreCloses, SQLITE_FULL);
    EXPECT_GT(result.points, 0);
}

} // namespace
} // namespace quillet
