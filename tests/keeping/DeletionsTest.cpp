#include "keeping/Deletions.h"

#include "keeping/Archive.h"
#include "keeping/InUseLock.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet {
namespace {

class DeletionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        test::createDatabase(
            path, {{"A", "Top"}, {"B", "Beta"}, {"B1", "b1"}, {"C", "c"}, {"B11", "b11"}});
        // Values of every kind, so that putting them back is seen to keep each as it was.
        test::execSql(path, "UPDATE mynodes SET Keimeno = 'line\nbreak \xce\xb1', MegFonta = 10.5, "
                            "Grammatoseira = ' Arial ', XromaFont = 255, FontaBold = 1 "
                            "WHERE Kleidi = 'B';"
                            "UPDATE mynodes SET Keimeno = X'00FF', XromaBack = 'red' "
                            "WHERE Kleidi = 'B11'");
    }

    std::string snapshot()
    {
        Connection db(path, Connection::Mode::ReadOnly);
        std::ostringstream out;
        archive::write(db, out);
        return out.str();
    }

    // Deletes the subtree as the notes window does; returns its copy's path.
    std::string deleteWithCopy(const std::string &key)
    {
        NoteStore store(path);
        std::string copy;
        store.deleteSubtree(key, [&](const std::vector<archive::Row> &rows) {
            copy = deletions::keepCopy(path, key, rows);
        });
        return copy;
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
};

TEST_F(DeletionsTest, UndeletePutsTheRowsBackByteForByte)
{
    const std::string before = snapshot();
    const std::string copy = deleteWithCopy("B");
    EXPECT_EQ(test::querySql(path, "SELECT group_concat(Kleidi, ' ') FROM mynodes"), "A C");
    EXPECT_EQ(deletions::undelete(copy, path), 3);
    EXPECT_EQ(snapshot(), before);
}

// An ordinary sub-item goes back under its parent, which is still there.
TEST_F(DeletionsTest, UndeletePutsASubItemBackUnderItsParent)
{
    const std::string before = snapshot();
    const std::string copy = deleteWithCopy("B1");
    EXPECT_EQ(test::querySql(path, "SELECT group_concat(Kleidi, ' ') FROM mynodes"), "A B C");
    EXPECT_EQ(deletions::undelete(copy, path), 2);
    EXPECT_EQ(snapshot(), before);
}

// The program runs in the user's locale, which the toolkit sets; in many the decimal point is a
// comma, and a copy holding "10,5" would not be JSON.
TEST_F(DeletionsTest, UndeletePutsTheRowsBackInALocaleWithADecimalComma)
{
    const std::string locales = folder.path("locales");
    std::filesystem::create_directory(locales);
    ASSERT_EQ(std::system(("localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8'").c_str()), 0)
        << "localedef and the locales package are needed (scripts/install-deps.sh)";
    const std::string before = snapshot();
    // The locale in force for this test only, whatever it throws.
    struct InLocale
    {
        std::string previous = std::setlocale(LC_ALL, nullptr);
        ~InLocale()
        {
            std::setlocale(LC_ALL, previous.c_str());
            unsetenv("LOCPATH");
        }
    } inLocale;
    setenv("LOCPATH", locales.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%.1f", 10.5);
    const std::string copy = deleteWithCopy("B");
    const int putBack = deletions::undelete(copy, path);

    EXPECT_STREQ(shown, "10,5"); // the locale was in force
    EXPECT_EQ(putBack, 3);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DeletionsTest, UndeleteChangesNothingWhenItCannotPutEveryRowBack)
{
    const std::string copy = deleteWithCopy("B1");
    struct Case
    {
        const char *name;
        std::function<void()> arrange;
        std::function<void()> undo;
    };
    const std::vector<Case> cases{
        {"a key taken again", [&] { NoteStore(path).insertItem("B1", "new"); },
         [&] {
             test::execSql(path, "DELETE FROM mynodes WHERE Kleidi = 'B1'");
         }},
        {"a taken key with spaces around it",
         [&] { test::execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES (' B11 ', 'x')"); },
         [&] {
             test::execSql(path, "DELETE FROM mynodes WHERE Kleidi = ' B11 '");
         }},
        {"the parent gone", [&] { deleteWithCopy("B"); },
         [] {
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const std::string bytes = test::fileBytes(path);
        EXPECT_THROW(deletions::undelete(copy, path), std::runtime_error);
        EXPECT_TRUE(test::fileBytes(path) == bytes);
        c.undo();
    }
    // Nor while the program has the file open.
    test::execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES ('B', 'again')");
    const InUseLock open(path);
    try {
        deletions::undelete(copy, path);
        ADD_FAILURE() << "undelete went ahead while the file was open";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("Close it first"), std::string::npos)
            << error.what();
    }
}

TEST_F(DeletionsTest, NothingIsDeletedWhenTheCopyCannotBeWritten)
{
    std::ofstream(folder.path("deleted")) << "a file where the folder goes";
    const std::string before = test::fileBytes(path);
    EXPECT_THROW(deleteWithCopy("B"), std::system_error);
    EXPECT_TRUE(test::fileBytes(path) == before);
}

} // namespace
} // namespace quillet
