#include "keeping/Backups.h"
#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "store/Schema.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

namespace fs = std::filesystem;

struct Ran
{
    int status = 0;
    std::string out, err;
};

Ran tool(const std::vector<std::string> &args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = dbtool::run(args, out, err);
    return {status, out.str(), err.str()};
}

// The versions of note A as the tool lists them: the first line of each, newest first.
std::string listed(const std::string &path)
{
    return tool({"history", path, "A"}).out;
}

void keepA(const std::string &path)
{
    NoteStore store(path);
    NoteHistory(store).keep(*store.readRow("A"), false, 1000);
}

// A history file serves the database it was made for and no other: a database made again at
// the same path, or copied in, sees none of its versions; the first version kept then sets it
// aside, whole, and begins a new one. Backup and restore keep the pair; a database made before
// databases had numbers adopts the history beside it with its first version.
TEST(toolsHistory, ServesOnlyTheDatabaseItWasMadeFor)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    initDatabase(path);
    execSql(path, "UPDATE mynodes SET Keimeno='private text of the first database'");
    keepA(path);
    ASSERT_NE(listed(path).find("private text"), std::string::npos);
    const std::string history = places::historyFile(path);
    const std::string historyBytes = fileBytes(history);

    // Made again at its path: the old versions are not shown, listed, restorable or checked
    // as this database's.
    fs::remove(path);
    initDatabase(path);
    EXPECT_EQ(listed(path).find("private text"), std::string::npos) << listed(path);
    EXPECT_EQ(tool({"history", path, "A", "--restore", "1"}).status, 1);
    EXPECT_NE(querySql(path, "SELECT Keimeno FROM mynodes"), "private text of the first database");
    const dbtool::CheckReport check = dbtool::checkDatabase(path);
    ASSERT_EQ(check.problems.size(), 1u);
    EXPECT_EQ(check.problems[0].kind, dbtool::Problem::Kind::HistoryProblem);
    EXPECT_NE(check.problems[0].text.find("another database's"), std::string::npos);

    // The first version kept sets the old file aside, as it was, and starts this one's own.
    {
        NoteStore store(path);
        NoteHistory own(store);
        own.keep(*store.readRow("A"), false, 2000);
        const std::string aside = own.takeSetAside();
        ASSERT_NE(aside.find("mydata-history-of-another-database-"), std::string::npos) << aside;
        EXPECT_TRUE(fileBytes(aside) == historyBytes);
        EXPECT_EQ(own.versionsOf(1).size(), 1u);
    }
    EXPECT_TRUE(dbtool::checkDatabase(path).problems.empty());

    // A backup and its restore keep the pair.
    const std::string backup = backups::make(path).file;
    backups::restore(backup, path);
    EXPECT_EQ(test::FileHistory(path).versionsOf(1).size(), 1u);

    // A database and history made before numbers: shown as before, and paired by the first
    // version kept.
    execSql(path, "PRAGMA user_version = 0");
    execSql(history, "PRAGMA user_version = 0");
    EXPECT_EQ(test::FileHistory(path).versionsOf(1).size(), 1u);
    ASSERT_EQ(tool({"history", path, "A", "--restore", "1"}).status, 0);
    const std::string id = querySql(path, "PRAGMA user_version");
    EXPECT_NE(id, "0");
    EXPECT_EQ(querySql(history, "PRAGMA user_version"), id);
    EXPECT_EQ(test::FileHistory(path).versionsOf(1).size(), 2u);
}

// After a crash in the middle of a change, the journal beside the file holds what undoes it.
// The read-only commands say so, and how it is rolled back; recover does it.
TEST(toolsRecover, AnInterruptedChangeIsSaidAsOneAndRolledBack)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    initDatabase(path);
    for (int i = 0; i < 40; ++i)
        execSql(path, "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('A" +
                          std::to_string(i % 9 + 1) + std::string(i / 9, '1') +
                          "', 't', hex(randomblob(3000)))");
    const std::string before = querySql(path, "SELECT group_concat(Keimeno) FROM mynodes");
    // A copy of the file and its journal taken in the middle of a change that spills pages
    // into the file: what a crash leaves behind.
    const std::string crashed = folder.path("crashed.mdb");
    {
        Connection writer(path, Connection::Mode::ReadWrite);
        writer.exec("PRAGMA cache_size=2");
        writer.exec("BEGIN IMMEDIATE");
        writer.exec("UPDATE mynodes SET Keimeno = 'half made'");
        fs::copy_file(path, crashed);
        fs::copy_file(path + "-journal", crashed + "-journal");
        writer.exec("ROLLBACK");
    }

    const Ran check = tool({"check", crashed});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("cut short by a crash waits in " + crashed + "-journal"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("quillet-db recover " + crashed), std::string::npos);
    EXPECT_NE(check.out.find("1 problem found"), std::string::npos) << check.out;
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"export", crashed, "--format", "json"},
          {"stats", crashed},
          {"backup", crashed}}) {
        const Ran ran = tool(command);
        EXPECT_EQ(ran.status, 1) << command[0];
        EXPECT_NE(ran.err.find("cut short by a crash"), std::string::npos) << ran.err;
        EXPECT_EQ(ran.err.find("read-only"), std::string::npos) << ran.err;
    }
    EXPECT_TRUE(fs::exists(crashed + "-journal"));

    const Ran recovered = tool({"recover", crashed});
    EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
    EXPECT_NE(recovered.out.find("Rolled back"), std::string::npos) << recovered.out;
    EXPECT_NE(recovered.out.find("No problems found"), std::string::npos) << recovered.out;
    EXPECT_FALSE(fs::exists(crashed + "-journal"));
    EXPECT_EQ(querySql(crashed, "SELECT group_concat(Keimeno) FROM mynodes"), before);
    EXPECT_NE(tool({"recover", crashed}).out.find("nothing was rolled back"), std::string::npos);
}

} // namespace
} // namespace quillet::test
