#include "store/Tables.h"

#include "store/NewTables.h"
#include "store/NoteStore.h"
#include "store/StoredRow.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillet {
namespace {

// A value as the engine gave it back: its type and its bytes.
std::string described(const Value &value)
{
    return std::to_string(static_cast<int>(value.type())) + ":" + value.toText().value_or("-");
}

std::vector<std::string> described(const StoredRow &row, std::size_t from = 0)
{
    std::vector<std::string> columns;
    for (std::size_t c = from; c < row.size(); ++c)
        columns.push_back(described(row[c]));
    return columns;
}

// Every type the engine stores, each one its column keeps as it is: a blob note, a flag as
// text, a Null font, a real where a whole number belongs.
StoredRow oddRow()
{
    return {Value::integer(7),
            Value::text("B"),
            Value::text(""),
            Value::blob(std::string("\0\xFF", 2)),
            Value::text("true"),
            Value::real(11.5),
            Value(),
            Value::integer(-1),
            Value::integer(1LL << 40),
            Value::real(0.5),
            Value::integer(0)};
}

StoredRow plainRow()
{
    return {Value::integer(3),
            Value::text("A"),
            Value::text("Top"),
            Value::text("\xC3\xBC"),
            Value::integer(1),
            Value::real(0),
            Value(),
            Value(),
            Value(),
            Value::integer(0),
            Value::integer(0)};
}

class TablesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        test::createEmptyDatabase(path);
        db.emplace(path, Connection::Mode::ReadWrite);
    }

    std::vector<StoredRow> rows()
    {
        std::vector<StoredRow> all;
        forEachStoredRow(*db, [&](const StoredRow &row) { all.push_back(row); });
        return all;
    }

    test::TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    std::optional<Connection> db;
};

// Rows keep their IDs, which give their order, and every column its type and bytes.
TEST_F(TablesTest, WholeRowsComeBackAsWritten)
{
    insertRows(*db, {oddRow(), plainRow()});
    const std::vector<StoredRow> read = rows();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(described(read[0]), described(plainRow()));
    EXPECT_EQ(described(read[1]), described(oddRow()));
}

TEST_F(TablesTest, RowsAreFoundByIdAndNotesByExactKey)
{
    insertRows(*db, {oddRow(), plainRow()});
    RowReader reader(*db);
    StoredRow row;
    ASSERT_TRUE(reader.read(7, row));
    EXPECT_EQ(described(row), described(oddRow()));
    EXPECT_FALSE(reader.read(5, row));
    ASSERT_TRUE(noteWithKey(*db, "B"));
    EXPECT_EQ(described(*noteWithKey(*db, "B")), described(oddRow()[3]));
    EXPECT_FALSE(noteWithKey(*db, "b"));

    // The keys come in the key index's order, not in ID order.
    StoredRow first = plainRow();
    first[0].setInteger(1);
    first[1].setText("C");
    insertRows(*db, {first});
    std::vector<std::pair<std::int64_t, std::string>> keys;
    forEachKey(*db,
               [&](std::int64_t id, const Value &key) { keys.emplace_back(id, *key.toText()); });
    EXPECT_EQ(keys,
              (std::vector<std::pair<std::int64_t, std::string>>{{3, "A"}, {7, "B"}, {1, "C"}}));
    std::vector<std::pair<std::int64_t, std::int64_t>> sizes;
    forEachNoteSize(*db,
                    [&](std::int64_t id, std::int64_t bytes) { sizes.emplace_back(id, bytes); });
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 2}, {3, 2}, {7, 2}}));
}

// The highest ID given decides the next one, deleted rows' included.
TEST_F(TablesTest, TheNextIdGivenFollowsTheLastOneSet)
{
    EXPECT_FALSE(lastRowId(*db));
    insertRows(*db, {oddRow()});
    EXPECT_EQ(lastRowId(*db), 7);
    const struct
    {
        std::optional<std::int64_t> last;
        std::int64_t next;
    } cases[] = {{41, 42}, {std::nullopt, 8}, {3, 8}};
    for (const auto &c : cases) {
        setLastRowId(*db, c.last);
        EXPECT_EQ(lastRowId(*db), c.last);
        ItemInserter(*db).insert("C", "new", "");
        EXPECT_EQ(rows().back()[0].integer(), c.next);
        db->exec("DELETE FROM mynodes WHERE ID <> 7");
    }
}

// A new item's columns are those the program's own insert and format store give.
TEST_F(TablesTest, NewItemsHoldWhatTheProgramWouldStore)
{
    test::createDatabase(folder.path("program.mdb"), {});
    NoteStore program(folder.path("program.mdb"));
    program.insertItem("A", "Top");
    ItemInserter items(*db);
    items.insert("A", "Top", "");
    EXPECT_EQ(described(rows().at(0)), described(*program.readRow("A")));

    const NoteFormat format{"Arial", 9.5F, 0x102030, 0xFFFFFF, false, true};
    ASSERT_TRUE(program.saveFormat("A", format));
    items.insert("B", "Top", "", true, format);
    const StoredRow added = rows().at(1);
    EXPECT_EQ(described(added[4]), described(Value::integer(1)));
    EXPECT_EQ(described(added, 5), described(*program.readRow("A"), 5));
}

TEST_F(TablesTest, ANewDatabaseOpensWithItsFirstItemAndSettings)
{
    const std::string made = folder.path("new.mdb");
    {
        Connection empty(made, Connection::Mode::Create);
        Transaction transaction(empty);
        newdatabase::makeTables(empty);
        newdatabase::fillStarter(empty, "Mine");
        transaction.commit();
    }
    NoteStore store(made);
    EXPECT_NE(store.fileId(), 0);
    std::vector<std::string> items;
    store.scanOutline([&](const OutlineRow &row) {
        items.push_back(*row.key.toText() + " " + *row.title.toText());
    });
    EXPECT_EQ(items, std::vector<std::string>{"A Mine"});
    Settings settings;
    store.loadSettings(settings);
    const int expected[Settings::kCount] = {600, 600, 14340, 9465};
    for (int position = 1; position <= Settings::kCount; ++position)
        EXPECT_EQ(settings.at(position), expected[position - 1]) << position;
}

TEST_F(TablesTest, SettingRowsKeepTheirIdsAndValues)
{
    SettingInserter settings(*db);
    settings.insert(9, Value::text("x"));
    settings.insert(2, Value());
    settings.insert(std::nullopt, Value::integer(-3));
    std::vector<std::string> read;
    forEachSetting(*db, [&](std::int64_t id, const Value &value) {
        read.push_back(std::to_string(id) + "=" + described(value));
    });
    EXPECT_EQ(read, (std::vector<std::string>{"2=" + described(Value()),
                                              "9=" + described(Value::text("x")),
                                              "10=" + described(Value::integer(-3))}));
}

} // namespace
} // namespace quillet
