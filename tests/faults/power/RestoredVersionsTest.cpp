// The notes' versions across a restore: the history goes back with the notes, so that no item
// the restored file gives an ID to again shows the versions of the note that had it before.

#include "faults/crash/StoreModel.h"
#include "keeping/Backups.h"
#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// A backup made before any version was kept has no copy of the history to go back with it.
// The item added after the backup, and its versions, go with the restore; the item added
// after the restore takes its key and ID again.
TEST(faultsVersions, AnItemAddedAfterARestoreShowsNoVersionOfAnItemTheRestoreRemoved)
{
    for (const bool versionBeforeBackup : {false, true}) {
        SCOPED_TRACE(versionBeforeBackup ? "a version kept before the backup"
                                         : "no version kept before the backup");
        TempFolder folder;
        const std::string path = folder.path("mydata.mdb");
        initDatabase(path);
        std::string backup;
        {
            NoteStore store(path);
            NoteHistory history(store);
            store.saveText("A", "[A] first");
            if (versionBeforeBackup)
                history.keep(*store.readRow("A"), false, 1);
            backup = backups::make(path, 10).file;
            store.insertItem("B", "Added after the backup");
            store.saveText("B", "[B] gone with the restore");
            history.keep(*store.readRow("B"), false, 2);
            store.saveText("B", "[B] gone with the restore, again");
        }
        backups::restore(backup, path);
        NoteStore(path).insertItem("B", "Added after the restore");

        const std::vector<crashtest::RowVersions> rows = crashtest::versionsShown(path);
        EXPECT_EQ(crashtest::strayVersions(rows), std::vector<std::string>{});
    }
}

} // namespace
} // namespace quillet::test
