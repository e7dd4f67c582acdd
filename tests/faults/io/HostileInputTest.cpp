#include "faults/io/FileChecks.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <functional>

namespace quillet {
namespace {

struct Hostile
{
    const char *name;
    std::string text;
};

// Ten megabytes of lines mixing quotes, Greek, emoji and line breaks.
std::string tenMegabytes()
{
    std::string text;
    text.reserve(10 * 1024 * 1024 + 100);
    for (int line = 0; text.size() < 10 * 1024 * 1024; ++line)
        text += "line " + std::to_string(line) + ": 'single' \"double\" Ελληνικά 😀\r\n";
    return text;
}

const std::vector<Hostile> &hostileTexts()
{
    static const std::vector<Hostile> all = {
        {"quotes", "it's a \"quoted\" ''title'' \\ with a backslash"},
        {"injection", "'); drop table mynodes; --"},
        {"embedded nuls", std::string("before\0between\0", 15)},
        {"right-to-left marks", "\u200Fright to left \u202Ereversed\u202C end"},
        {"greek and emoji", "Καλημέρα κόσμε 😀🎉 👩‍💻"},
        {"ten megabytes", tenMegabytes()},
    };
    return all;
}

// Equal bytes, described by size and first difference rather than by printing megabytes.
testing::AssertionResult sameBytes(const std::optional<std::string> &actual,
                                   const std::string &expected)
{
    if (!actual)
        return testing::AssertionFailure() << "read back a Null";
    if (*actual == expected)
        return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual->size() && at < expected.size() && (*actual)[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << "read back " << actual->size() << " bytes for "
                                       << expected.size() << ", first difference at byte " << at;
}

std::optional<std::string> titleOf(NoteStore &store, const std::string &key)
{
    std::optional<std::string> title;
    store.scanOutline([&](const OutlineRow &row) {
        if (row.key.toText() == key)
            title = row.title.toText();
    });
    return title;
}

std::string schemaOf(const std::string &path)
{
    test::CheckConnection check(path);
    return test::schemaDump(check.handle());
}

std::string countOf(const std::string &path, const std::string &table)
{
    test::CheckConnection check(path);
    return test::queryText(check.handle(), "SELECT count(*) FROM " + table);
}

class HostileInputTest : public testing::Test
{
protected:
    test::TempFolder m_folder;
    std::string m_path = m_folder.path("mydata.mdb");
};

using faultsHostile = HostileInputTest;

// Every kind of text goes in as a note, a title and a new item's title and comes back byte for
// byte, from the same store and from a store opened afresh; none of it is read as SQL.
TEST_F(faultsHostile, TextRoundTripsByteForByte)
{
    test::createDatabase(m_path, {{"A", "note holder"}, {"B", "title holder"}});
    const std::string schema = schemaOf(m_path);
    NoteStore store(m_path);
    int inserted = 0;
    for (const Hostile &hostile : hostileTexts()) {
        const std::string newKey = "C" + std::to_string(++inserted);
        store.saveText("A", hostile.text);
        store.rename("B", hostile.text);
        store.insertItem(newKey, hostile.text);
        EXPECT_TRUE(sameBytes(store.readNote("A")->text.toText(), hostile.text)) << hostile.name;
        EXPECT_TRUE(sameBytes(titleOf(store, "B"), hostile.text)) << hostile.name;
        EXPECT_TRUE(sameBytes(titleOf(store, newKey), hostile.text)) << hostile.name;
        NoteStore fresh(m_path);
        EXPECT_TRUE(sameBytes(fresh.readNote("A")->text.toText(), hostile.text)) << hostile.name;
        EXPECT_TRUE(sameBytes(titleOf(fresh, "B"), hostile.text)) << hostile.name;
        EXPECT_TRUE(sameBytes(titleOf(fresh, newKey), hostile.text)) << hostile.name;
    }
    EXPECT_EQ(schemaOf(m_path), schema);
    EXPECT_EQ(countOf(m_path, "mynodes"), std::to_string(2 + inserted));
}

// Keys are bound values too: a key with quotes or SQL in it names its own row and no other,
// and the subtree prefix is not a pattern.
TEST_F(faultsHostile, KeysWithQuotesNameOnlyTheirOwnRow)
{
    test::createDatabase(m_path, {{"A", "a"}, {"A1", "a1"}, {"B", "b"}});
    const std::string schema = schemaOf(m_path);
    NoteStore store(m_path);
    const std::string injected = "Q'); drop table mynodes; --";
    store.insertItem(injected, "planted");
    store.insertItem("K\"'", "quoted");
    store.saveText(injected, "found by its own key");
    EXPECT_EQ(store.readNote(injected)->text.toText(), "found by its own key");
    EXPECT_EQ(titleOf(store, "K\"'"), "quoted");

    for (const char *key : {"A' OR '1'='1", "A\" OR \"1\"=\"1", "%", "_"}) {
        EXPECT_FALSE(store.readNote(key)) << key;
        EXPECT_THROW(store.saveText(key, "nowhere"), StoreError) << key;
        EXPECT_EQ(store.deleteSubtree(key), 0) << key;
    }
    EXPECT_EQ(countOf(m_path, "mynodes"), "5");
    EXPECT_EQ(schemaOf(m_path), schema);
}

// Triggers and a view planted in the file never run: every write leaves the same rows as on a
// file without them, and the schema stays as it was.
TEST_F(faultsHostile, PlantedTriggersAndViewsNeverRun)
{
    const std::vector<test::Row> rows = {{"A", "a"}, {"A1", "a1"}, {"B", "b"}, {"B1", "b1"}};
    const std::string clean = m_folder.path("clean.mdb");
    test::createDatabase(clean, rows);
    test::createDatabase(m_path, rows);
    test::execSql(m_path, "CREATE TRIGGER wipeOnUpdate AFTER UPDATE ON mynodes "
                          "BEGIN DELETE FROM mynodes; END;"
                          "CREATE TRIGGER wipeOnInsert AFTER INSERT ON mynodes "
                          "BEGIN DELETE FROM mynodes WHERE ID <> new.ID; "
                          "INSERT INTO parame (timilo) VALUES (666); END;"
                          "CREATE TRIGGER refuseDelete BEFORE DELETE ON mynodes "
                          "BEGIN SELECT RAISE(ABORT, 'planted'); END;"
                          "CREATE TRIGGER growSettings AFTER UPDATE ON parame "
                          "BEGIN INSERT INTO parame (timilo) VALUES (666); END;"
                          "CREATE VIEW everything AS SELECT * FROM mynodes, parame;");
    const std::string schema = schemaOf(m_path);

    const std::vector<std::function<void(NoteStore &)>> writes = {
        [](NoteStore &store) { store.saveText("A", "text"); },
        [](NoteStore &store) { store.rename("A1", "renamed"); },
        [](NoteStore &store) { store.insertItem("C", "inserted"); },
        [](NoteStore &store) { EXPECT_EQ(store.deleteSubtree("B"), 2); },
        [](NoteStore &store) {
            store.storeExpanded({true, false, true});
        },
        [](NoteStore &store) {
            Settings settings;
            settings.at(1) = 1440;
            settings.at(30) = -1;
            store.storeSettings(settings);
        },
    };
    for (const std::string &file : {clean, m_path}) {
        NoteStore store(file);
        for (const auto &write : writes)
            write(store);
    }
    test::CheckConnection planted(m_path);
    test::CheckConnection expected(clean);
    EXPECT_EQ(test::tableDump(planted.handle()), test::tableDump(expected.handle()));
    EXPECT_EQ(test::queryText(planted.handle(), "SELECT count(*) FROM mynodes"), "3");
    EXPECT_EQ(test::queryText(planted.handle(), "SELECT count(*) FROM parame"), "30");
    EXPECT_EQ(schemaOf(m_path), schema);
}

} // namespace
} // namespace quillet
