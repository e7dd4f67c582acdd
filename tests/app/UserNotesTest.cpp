#include "app/UserNotes.h"

#include "packaging/UserNotesPlace.h"
#include "support/FakeMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillet::test {
namespace {

mode_t modeOf(const std::string &path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(UserNotesFolderTest, FollowsTheXdgDataHomeOrTheHomeFolder)
{
    const struct
    {
        const char *dataHome; // nullptr: unset
        std::string folder;
    } cases[] = {
        {"/srv/data", "/srv/data/quillet"},
        {nullptr, "/home/someone/.local/share/quillet"},
        {"", "/home/someone/.local/share/quillet"},
        // A relative XDG_DATA_HOME is ignored, as the XDG rules say.
        {"relative/data", "/home/someone/.local/share/quillet"},
    };
    const QByteArray home = qgetenv("HOME");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", "/home/someone");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dataHome ? c.dataHome : "(unset)");
        c.dataHome ? qputenv("XDG_DATA_HOME", c.dataHome) : qunsetenv("XDG_DATA_HOME");
        EXPECT_EQ(installed::userNotesFolder(), c.folder);
        EXPECT_EQ(installed::userDatabase(), c.folder + "/mydata.mdb");
    }
    qputenv("HOME", home);
    dataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome);
}

class UserNotesTest : public testing::Test
{
protected:
    UserNotesStart prepare() { return prepareUserNotes(boxes, QString::fromStdString(folder)); }

    TempFolder home;
    // Folders above the notes folder are missing too, as for a new user.
    std::string folder = home.path("data/share/quillet");
    std::string database = folder + "/mydata.mdb";
    FakeMessageBoxes boxes;
};

// The first start makes the folder and the file nobody else's, whatever the umask, and the
// starter database with the welcome note, which says where the notes are; the next start finds
// them and says nothing.
TEST_F(UserNotesTest, TheFirstStartMakesAPrivateStarterDatabaseOnce)
{
    for (const mode_t umask : {mode_t(0), mode_t(022), mode_t(077)}) {
        SCOPED_TRACE(umask);
        QDir(home.folder() + QStringLiteral("/data")).removeRecursively();
        const mode_t was = ::umask(umask);
        const UserNotesStart first = prepare();
        const UserNotesStart second = prepare();
        ::umask(was);

        EXPECT_EQ(first, UserNotesStart::MadeFirst);
        EXPECT_EQ(second, UserNotesStart::Found);
        EXPECT_TRUE(boxes.asked.empty());
        EXPECT_EQ(modeOf(home.path("data")), 0700u);
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(modeOf(database), 0600u);
        EXPECT_EQ(querySql(database, "SELECT group_concat(Kleidi || ':' || MyText) FROM mynodes"),
                  "A:My notes,B:Welcome to Quillet");
        const std::string welcome =
            querySql(database, "SELECT Keimeno FROM mynodes WHERE Kleidi='B'");
        EXPECT_NE(welcome.find("Your notes are kept in " + database + ","), std::string::npos)
            << welcome;
        EXPECT_EQ(querySql(database, "SELECT count(*) FROM parame"), "30");
        // The welcome item is the one selected, so that the window shows its note.
        EXPECT_EQ(querySql(database, "SELECT group_concat(timilo) FROM (SELECT timilo FROM "
                                     "parame ORDER BY ID LIMIT 5)"),
                  "600,600,14340,9465,2");
        // Nothing half made is left beside it.
        EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files),
                  QStringList{"mydata.mdb"});
    }
}

// A folder without its database: the notes were moved away. The user is told where they were
// looked for, and a new database is made only when asked for. A link by the database's name is
// the user's, even one that points nowhere: opening it says what is missing.
TEST_F(UserNotesTest, NotesMovedAwayAreAskedAboutAndNeverMadeSilently)
{
    const struct
    {
        MessageBoxes::Answer answer;
        UserNotesStart start;
        bool made;
    } cases[] = {
        {MessageBoxes::Answer::No, UserNotesStart::Declined, false},
        {MessageBoxes::Answer::Yes, UserNotesStart::MadeAgain, true},
    };
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        boxes.asked.clear();
        boxes.answers = {c.answer};
        EXPECT_EQ(prepare(), c.start);
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].buttons, MessageBoxes::Buttons::YesNoDefaultNo);
        EXPECT_TRUE(boxes.asked[0].text.contains(QString::fromStdString(database)));
        EXPECT_TRUE(boxes.asked[0].text.contains("moved"));
        EXPECT_EQ(QFile::exists(QString::fromStdString(database)), c.made);
        if (c.made) {
            EXPECT_EQ(modeOf(database), 0600u);
        }
    }

    QFile::remove(QString::fromStdString(database));
    ASSERT_TRUE(QFile::link(QString::fromStdString(home.path("elsewhere.mdb")),
                            QString::fromStdString(database)));
    boxes.asked.clear();
    EXPECT_EQ(prepare(), UserNotesStart::Found);
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.path("elsewhere.mdb"))));
}

TEST_F(UserNotesTest, NotesThatCannotBeMadeAreSaidAndTheStartEnds)
{
    // The data folder is a file: no folder can be made below it, not even by root.
    writeFile(home.path("data"), "not a folder");
    EXPECT_EQ(prepare(), UserNotesStart::Failed);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].icon, MessageBoxes::Icon::Critical);
    EXPECT_TRUE(boxes.asked[0].text.contains(QString::fromStdString(database)));
    EXPECT_TRUE(boxes.asked[0].text.contains(QString::fromStdString(home.path("data"))));
    EXPECT_EQ(fileBytes(home.path("data")), "not a folder");
}

} // namespace
} // namespace quillet::test
