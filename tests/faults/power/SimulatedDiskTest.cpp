// The simulated disk on its own: what each kind of sync makes durable, what a cut keeps, loses
// and tears, and the engine's journal as the disk sees it. The power-cut test relies on every
// one of these.

#include "faults/power/SimulatedDisk.h"

#include "keeping/DurableFiles.h"
#include "keeping/FileOperations.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quillet::test {
namespace {

class SimulatedDiskTest : public testing::Test
{
protected:
    void SetUp() override { std::filesystem::create_directory(root); }

    // Empties the disk's folder for the next round.
    void wipe()
    {
        for (const auto &entry : std::filesystem::directory_iterator(root))
            std::filesystem::remove_all(entry.path());
    }

    std::string bytesOf(const std::string &name) const
    {
        return std::filesystem::exists(root + "/" + name) ? fileBytes(root + "/" + name) : "(none)";
    }

    // Writes bytes to a file through the disk's file operations, without a sync.
    static void writeUnsynced(const std::string &path, const std::string &bytes, int flags)
    {
        durable::FileOperations &files = durable::fileOperations();
        const int fd = files.open(path.c_str(), O_WRONLY | flags, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(files.write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        files.close(fd);
    }

    TempFolder folder;
    std::string root = folder.path("disk");
};

using faultsSimulatedDisk = SimulatedDiskTest;

// Bytes synced and a name whose folder is synced survive every cut; the same bytes under a
// name whose folder was never synced survive none.
TEST_F(faultsSimulatedDisk, ANameLastsOnlyOnceItsFolderIsSynced)
{
    const std::string text(3000, 'x');
    for (std::uint64_t seed = 0; seed < 40; ++seed) {
        wipe();
        {
            SimulatedDisk disk(root);
            disk.cutBefore(0, seed);
            durable::writeFile(root + "/kept.txt", text, 0600);
            writeUnsynced(root + "/unnamed.txt", text, O_CREAT | O_EXCL);
            durable::FileOperations &files = durable::fileOperations();
            const int fd = files.open((root + "/unnamed.txt").c_str(), O_RDONLY, 0);
            ASSERT_EQ(files.fsync(fd), 0);
            files.close(fd);
            const DiskModel::CutReport cut = disk.restart();
            EXPECT_EQ(cut.namesUndone, 1);
            EXPECT_TRUE(disk.strayFiles().empty());
        }
        EXPECT_EQ(bytesOf("kept.txt"), text) << "seed " << seed;
        EXPECT_EQ(bytesOf("unnamed.txt"), "(none)") << "seed " << seed;
        EXPECT_EQ(bytesOf("kept.txt.partial"), "(none)") << "seed " << seed;
    }
}

TEST_F(faultsSimulatedDisk, ARenameALinkOrAFolderLastsOnlyOnceItsFolderIsSynced)
{
    durable::writeFile(root + "/a.txt", "a", 0600);
    const auto link = [&] {
        return durable::fileOperations().link((root + "/a.txt").c_str(), (root + "/l.txt").c_str());
    };
    {
        SimulatedDisk disk(root);
        ASSERT_EQ(link(), 0);
        ASSERT_EQ(
            durable::fileOperations().rename((root + "/a.txt").c_str(), (root + "/b.txt").c_str()),
            0);
        ASSERT_EQ(durable::fileOperations().mkdir((root + "/inner").c_str(), 0700), 0);
        durable::writeFile(root + "/inner/c.txt", "c", 0600); // syncs inner/, not the root
        disk.restart();
    }
    EXPECT_EQ(bytesOf("a.txt"), "a");
    EXPECT_EQ(bytesOf("b.txt"), "(none)");
    EXPECT_EQ(bytesOf("l.txt"), "(none)");
    EXPECT_FALSE(std::filesystem::exists(root + "/inner"));

    {
        SimulatedDisk disk(root);
        ASSERT_EQ(link(), 0);
        durable::rename(root + "/a.txt", root + "/b.txt");
        disk.restart();
    }
    EXPECT_EQ(bytesOf("a.txt"), "(none)");
    EXPECT_EQ(bytesOf("b.txt"), "a");
    EXPECT_EQ(bytesOf("l.txt"), "a");
}

// A write not synced is kept, lost or torn by the seed: torn only at a 512-byte boundary, the
// sectors on one side new and on the other as they were, never a part of a sector.
TEST_F(faultsSimulatedDisk, AWriteNotSyncedIsKeptLostOrTornAtASectorBoundary)
{
    const std::string before(4096, 'o');
    const std::string after(4096, 'n');
    int unchanged = 0, whole = 0, torn = 0;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        wipe();
        {
            SimulatedDisk disk(root);
            disk.cutBefore(0, seed);
            durable::writeFile(root + "/f", before, 0600);
            writeUnsynced(root + "/f", after, 0);
            disk.restart();
        }
        const std::string found = bytesOf("f");
        ASSERT_EQ(found.size(), before.size()) << "seed " << seed;
        int changes = 0;
        for (std::size_t sector = 0; sector < found.size() / 512; ++sector) {
            const std::string piece = found.substr(sector * 512, 512);
            ASSERT_TRUE(piece == before.substr(0, 512) || piece == after.substr(0, 512))
                << "seed " << seed << ": a sector holds part of a write";
            if (sector > 0 && piece != found.substr((sector - 1) * 512, 512))
                ++changes;
        }
        ASSERT_LE(changes, 1) << "seed " << seed;
        if (found == before)
            ++unchanged;
        else if (found == after)
            ++whole;
        else
            ++torn;
    }
    EXPECT_GT(unchanged, 0);
    EXPECT_GT(whole, 0);
    EXPECT_GT(torn, 0);
}

// The power goes before the change it was set for: that change and all after it fail, and the
// store reports the failure instead of acknowledging the write.
TEST_F(faultsSimulatedDisk, AfterTheCutEveryChangeFails)
{
    const std::string path = root + "/mydata.mdb";
    const auto fresh = [&] {
        wipe();
        SimulatedDisk made(root);
        createDatabase(path, {{"A", "Top"}});
    };
    fresh();
    long long total = 0;
    std::vector<long long> syncs;
    {
        SimulatedDisk disk(root);
        NoteStore(path).saveText("A", "stored");
        total = disk.changes();
        syncs = disk.syncs();
        EXPECT_TRUE(disk.strayFiles().empty());
    }
    ASSERT_GT(total, 4);
    ASSERT_FALSE(syncs.empty());
    for (long long cut = 1; cut <= total; ++cut) {
        fresh();
        SimulatedDisk disk(root);
        disk.cutBefore(cut, 1);
        EXPECT_THROW(NoteStore(path).saveText("A", "stored"), StoreError) << "cut " << cut;
        EXPECT_TRUE(disk.powerIsOff());
        EXPECT_EQ(disk.changes(), cut);
        disk.restart();
    }
}

// What the engine is told of the disk matches how the disk tears writes.
TEST_F(faultsSimulatedDisk, TheEngineIsToldTheSectorSizeAndTraitsOfTheDisk)
{
    const std::string path = root + "/mydata.mdb";
    createDatabase(path, {{"A", "Top"}});
    SimulatedDisk disk(root);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_file *file = nullptr;
    ASSERT_EQ(sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file), SQLITE_OK);
    EXPECT_EQ(file->pMethods->xSectorSize(file), 512);
    EXPECT_EQ(file->pMethods->xDeviceCharacteristics(file),
              SQLITE_IOCAP_ATOMIC512 | SQLITE_IOCAP_POWERSAFE_OVERWRITE);
    sqlite3_close(db);
}

// A file made around the disk cannot be cut with the rest, so the disk names it.
TEST_F(faultsSimulatedDisk, AFileMadeAroundTheDiskIsNamed)
{
    SimulatedDisk disk(root);
    const int fd = ::open((root + "/around").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    durable::remove(root + "/around");
    EXPECT_EQ(disk.strayFiles(), std::vector<std::string>{root + "/around"});
}

// The journal: a commit is acknowledged once the engine has unlinked its journal. Unless the
// folder is synced after that, a cut can bring the journal back, and the engine then rolls the
// acknowledged commit back. synchronous=EXTRA syncs the folder; FULL does not.
TEST_F(faultsSimulatedDisk, OnlyExtraSyncKeepsACommitWhenTheJournalComesBack)
{
    const std::string path = root + "/mydata.mdb";
    for (const char *setting : {"PRAGMA synchronous=FULL", "PRAGMA synchronous=EXTRA"}) {
        int lost = 0;
        for (std::uint64_t seed = 0; seed < 20; ++seed) {
            wipe();
            {
                // Made as the machine's last run left it: all of it on the disk, not only in
                // the cache, and nothing synced for real.
                SimulatedDisk made(root);
                createDatabase(path, {{"A", "Top"}});
            }
            {
                SimulatedDisk disk(root);
                disk.cutBefore(0, seed);
                {
                    NoteStore store(path);
                    store.connection().exec(setting);
                    store.saveText("A", "acknowledged");
                }
                disk.restart();
            }
            NoteStore store(path);
            const std::optional<NoteRow> note = store.readNote("A");
            ASSERT_TRUE(note);
            if (note->text.toText() != "acknowledged")
                ++lost;
        }
        if (std::string_view(setting).ends_with("FULL"))
            EXPECT_EQ(lost, 20) << setting;
        else
            EXPECT_EQ(lost, 0) << setting;
    }
}

} // namespace
} // namespace quillet::test
