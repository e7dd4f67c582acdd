#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace quillet {
namespace {

// Both tables with every column the program uses but none of its constraints, as another
// program could have made them: Nulls and duplicate keys can be stored.
const std::string kLooseSchema =
    "CREATE TABLE mynodes (ID INTEGER PRIMARY KEY, Kleidi TEXT, MyText TEXT, Keimeno TEXT, "
    "anoixto INTEGER, MegFonta REAL, Grammatoseira TEXT, XromaFont INTEGER, XromaBack INTEGER, "
    "FontaBold INTEGER, FontaPlagia INTEGER);"
    "CREATE TABLE parame (ID INTEGER PRIMARY KEY, timilo INTEGER);";

std::string settingsRows(int count)
{
    std::string sql;
    for (int i = 1; i <= count; ++i)
        sql += "INSERT INTO parame (timilo) VALUES (" + std::to_string(i) + ");";
    return sql;
}

QByteArray fileHash(const std::string &path)
{
    const std::string bytes = test::fileBytes(path);
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                    QCryptographicHash::Sha256);
}

class BadFilesTest : public testing::Test
{
protected:
    test::TempFolder m_folder;
};

using faultsBadFiles = BadFilesTest;

// Problems in the rows, not in the tables: the store opens such a file, the outline scan hands
// the rows over as they are stored, and only the settings load refuses a 31st row. Opening,
// scanning and loading write nothing to the file.
TEST_F(faultsBadFiles, RowProblemsOpenAndLeaveTheFileAsItWas)
{
    struct Case
    {
        const char *name;
        bool loose; // made with kLooseSchema instead of the program's own
        std::string rows;
        std::string outline;       // key|title of each row the scan visits
        const char *settingsError; // in the load's message, or nullptr when it loads
    };
    const std::vector<Case> cases = {
        {"null title", true,
         "INSERT INTO mynodes (Kleidi, MyText) VALUES ('A', NULL), ('B', 'b');" + settingsRows(30),
         "A|(null) B|b ", nullptr},
        {"duplicate key", true,
         "INSERT INTO mynodes (Kleidi, MyText) VALUES ('A', 'first'), ('A', 'second');" +
             settingsRows(30),
         "A|first A|second ", nullptr},
        {"child before parent", false,
         "INSERT INTO mynodes (ID, Kleidi, MyText) VALUES (1, 'A1', 'child'), (2, 'A', 'parent');" +
             settingsRows(30),
         "A1|child A|parent ", nullptr},
        {"31 settings rows", false,
         "INSERT INTO mynodes (Kleidi, MyText) VALUES ('A', 'a');" + settingsRows(31), "A|a ",
         "more than 30 rows"},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string path = m_folder.path("bad" + std::to_string(++n) + ".mdb");
        if (c.loose) {
            std::ofstream(path).flush(); // an empty file is an empty database to the engine
            test::execSql(path, kLooseSchema + c.rows);
        } else {
            test::createEmptyDatabase(path);
            test::execSql(path, c.rows);
        }
        const QByteArray before = fileHash(path);
        {
            NoteStore store(path);
            std::string outline;
            store.scanOutline([&](const OutlineRow &row) {
                outline += row.key.toText().value_or("(null)") + "|" +
                           row.title.toText().value_or("(null)") + " ";
            });
            EXPECT_EQ(outline, c.outline) << c.name;
            Settings settings;
            try {
                store.loadSettings(settings);
                EXPECT_EQ(c.settingsError, nullptr) << c.name << ": loaded";
            } catch (const StoreError &error) {
                ASSERT_NE(c.settingsError, nullptr) << c.name << ": " << error.message();
                EXPECT_NE(error.message().find(c.settingsError), std::string::npos)
                    << c.name << ": " << error.message();
            }
        }
        EXPECT_EQ(fileHash(path), before) << c.name;
    }
}

} // namespace
} // namespace quillet
