#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const std::string &path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::string runTool(const std::vector<std::string> &args)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(dbtool::run(args, out, err), 0) << err.str();
    return out.str();
}

// A private database (0600 in a folder others may enter) under the usual umask: every file
// made from it that holds notes is as private as it, and every folder made beside it too.
class toolsPrivateCopies : public testing::Test
{
protected:
    void SetUp() override
    {
        m_umask = ::umask(022);
        ::chmod(folder.folder().toUtf8().constData(), 0755);
        initDatabase(path);
        execSql(path, "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('B', 'b', 'secret')");
        ::chmod(path.c_str(), 0600);
    }
    void TearDown() override { ::umask(m_umask); }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    std::string beside = folder.folder().toStdString();
    mode_t m_umask = 0;
};

TEST_F(toolsPrivateCopies, EveryCopyTakesTheDatabasesPermissions)
{
    const std::pair<const char *, std::function<std::string()>> copies[] = {
        {"a backup",
         [&] {
             runTool({"backup", path});
             return backups::list(path).back();
         }},
        {"a deletion's copy",
         [&] {
             NoteStore store(path);
             std::string copy;
             store.deleteSubtree("B", [&](const std::vector<archive::Row> &rows) {
                 copy = deletions::keepCopy(path, "B", rows);
             });
             return copy;
         }},
        {"an export with --output",
         [&] {
             runTool({"export", path, "--format", "markdown", "--output", beside + "/notes.md"});
             return beside + "/notes.md";
         }},
        {"the file restore keeps",
         [&] {
             runTool({"restore", backups::list(path).front(), path});
             for (const auto &entry : fs::directory_iterator(beside))
                 if (entry.path().filename().string().starts_with("mydata.mdb.before-restore-"))
                     return entry.path().string();
             return std::string();
         }},
        {"the restored database",
         [&] {
             return path;
         }},
        // A database made from a file is no more open than the file: the JSON export of a
        // private database, with its versions, gives a private database and history.
        {"a database made by import-json",
         [&] {
             {
                 NoteStore store(path);
                 NoteHistory(store).keep(*store.readRow("B"), false, 1000);
             }
             runTool({"export", path, "--format", "json", "--with-history", "--output",
                      beside + "/notes.json"});
             runTool({"import-json", beside + "/notes.json", beside + "/fromjson.mdb"});
             EXPECT_EQ(modeOf(places::historyFile(beside + "/fromjson.mdb")), 0600u);
             return beside + "/fromjson.mdb";
         }},
        {"a database made by import",
         [&] {
             runTool({"export", path, "--format", "opml", "--output", beside + "/notes.opml"});
             runTool({"import", beside + "/notes.opml", beside + "/made.mdb"});
             return beside + "/made.mdb";
         }},
    };
    for (const auto &[what, make] : copies) {
        const std::string file = make();
        ASSERT_FALSE(file.empty()) << what;
        EXPECT_EQ(modeOf(file), 0600u) << what << ": " << file;
    }
    for (const char *made : {"/backups", "/deleted"})
        EXPECT_EQ(modeOf(beside + made), 0700u) << made;
}

// Copies made before their permissions followed the database's lose the bits it lacks at the
// next backup; the owner's stay. The folders keep what lets a reader of the database in.
TEST_F(toolsPrivateCopies, TheNextBackupTightensOlderCopies)
{
    struct Case
    {
        mode_t database, backup, copy, folders;
    };
    for (const Case &c : {Case{0600, 0600, 0700, 0700}, Case{0640, 0640, 0740, 0750},
                          Case{0644, 0644, 0744, 0755}}) {
        SCOPED_TRACE(c.database);
        ::chmod(path.c_str(), c.database);
        for (const char *made : {"/backups", "/deleted"}) {
            fs::remove_all(beside + made);
            fs::create_directory(beside + made);
            ::chmod((beside + made).c_str(), 0755);
        }
        const std::string oldBackup = beside + "/backups/mydata-20200101-000000.mdb";
        fs::copy_file(path, oldBackup);
        const std::string oldCopy = beside + "/deleted/20200101-000000-B.json";
        std::ofstream(oldCopy) << "{}";
        ::chmod(oldBackup.c_str(), 0664);
        ::chmod(oldCopy.c_str(), 0744);

        runTool({"backup", path});
        EXPECT_EQ(modeOf(oldBackup), c.backup);
        EXPECT_EQ(modeOf(oldCopy), c.copy);
        for (const char *made : {"/backups", "/deleted"})
            EXPECT_EQ(modeOf(beside + made), c.folders) << made;
    }
}

// Restoring through a link restores the file the link points to, in its own folder, and the
// link stays a link.
TEST_F(toolsPrivateCopies, RestoreFollowsALinkToTheDatabase)
{
    runTool({"backup", path});
    const std::string backup = backups::list(path).back();
    execSql(path, "UPDATE mynodes SET Keimeno='changed since' WHERE Kleidi='B'");
    TempFolder elsewhere;
    const std::string link = elsewhere.path("mydata.mdb");
    fs::create_symlink(path, link);

    const std::string said = runTool({"restore", backup, link});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'"), "secret");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_NE(said.find("Restored " + backup + " to " + path + " (the file " + link + " links to)"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("kept as " + path + ".before-restore-"), std::string::npos) << said;
    // A plain file named another way is not called a link.
    const std::string plain = runTool({"restore", backup, beside + "/./mydata.mdb"});
    EXPECT_EQ(plain.find("links to"), std::string::npos) << plain;
    // Nothing was made beside the link.
    const fs::directory_iterator linkFolder(elsewhere.folder().toStdString());
    EXPECT_EQ(std::distance(fs::begin(linkFolder), fs::end(linkFolder)), 1);
}

} // namespace
} // namespace quillet::test
