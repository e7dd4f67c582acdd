#include "store/Tables.h"

#include <algorithm>
#include <map>

namespace quillet {

ItemInserter::ItemInserter(Connection &db)
    : m_insert(db, "INSERT INTO mynodes (Kleidi, MyText, Keimeno, anoixto, MegFonta, "
                   "Grammatoseira, XromaFont, XromaBack, FontaBold, FontaPlagia) VALUES "
                   "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
{
}

void ItemInserter::insert(std::string_view key, std::string_view title, std::string_view note,
                          bool expanded, const std::optional<NoteFormat> &format)
{
    m_insert.reset();
    m_insert.bind(1, key);
    m_insert.bind(2, title);
    m_insert.bind(3, note);
    m_insert.bind(4, std::int64_t{expanded ? 1 : 0});
    // Without a format of its own a note stores none: size 0 and no font or colours.
    const NoteFormat shown = format.value_or(NoteFormat{});
    m_insert.bind(5, static_cast<double>(format ? shown.fontSize : 0.0F));
    if (format) {
        m_insert.bind(6, shown.fontName);
        m_insert.bind(7, std::int64_t{shown.foreColor});
        m_insert.bind(8, std::int64_t{shown.backColor});
    } else {
        for (int column = 6; column <= 8; ++column)
            m_insert.bindNull(column);
    }
    m_insert.bind(9, std::int64_t{shown.bold ? 1 : 0});
    m_insert.bind(10, std::int64_t{shown.italic ? 1 : 0});
    m_insert.run();
}

RowReader::RowReader(Connection &db)
    : m_read(db, selectRowColumns() + " FROM mynodes WHERE ID=?")
{
}

bool RowReader::read(std::int64_t id, StoredRow &row)
{
    m_read.reset();
    m_read.bind(1, id);
    if (!m_read.step())
        return false;
    for (std::size_t c = 0; c < row.size(); ++c)
        m_read.column(static_cast<int>(c), row[c]);
    return true;
}

void forEachStoredRow(Connection &db, const std::function<void(const StoredRow &)> &visit)
{
    Statement rows(db, selectRowColumns() + " FROM mynodes ORDER BY ID");
    StoredRow row;
    while (rows.step()) {
        for (std::size_t c = 0; c < row.size(); ++c)
            rows.column(static_cast<int>(c), row[c]);
        visit(row);
    }
}

void forEachKey(Connection &db, const std::function<void(std::int64_t id, const Value &key)> &visit)
{
    // Without an order the engine reads the key index alone, which holds the IDs too.
    Statement keys(db, "SELECT ID, Kleidi FROM mynodes");
    Value key;
    while (keys.step()) {
        keys.column(1, key);
        visit(keys.columnInt64(0), key);
    }
}

namespace {

// A stored key's place in the key index: Null, then numbers, then text, then blobs, each in
// order of its value or bytes, as the engine's index orders them.
bool inIndexOrder(const Value &a, const Value &b)
{
    const auto rank = [](const Value &value) {
        switch (value.type()) {
        case Value::Type::Null:
            return 0;
        case Value::Type::Integer:
        case Value::Type::Real:
            return 1;
        case Value::Type::Text:
            return 2;
        case Value::Type::Blob:
            break;
        }
        return 3;
    };
    if (rank(a) != rank(b))
        return rank(a) < rank(b);
    if (rank(a) == 1)
        return a.toDouble().value_or(0) < b.toDouble().value_or(0);
    return a.textView().value_or(std::string_view()) < b.textView().value_or(std::string_view());
}

} // namespace

std::vector<std::pair<std::int64_t, Value>>
rowsWithKeysOrIds(Connection &db, const std::vector<std::string> &subtreeRoots,
                  const std::vector<std::string> &keys, const std::vector<std::int64_t> &ids)
{
    std::map<std::int64_t, Value> found;
    const auto read = [&](Statement &query) {
        while (query.step())
            found.emplace(query.columnInt64(0), query.column(1));
    };
    // Keys that begin with a space, and keys stored as bytes rather than text (which sort after
    // every text, and which a file made elsewhere may hold).
    Statement spaced(db, "SELECT ID, Kleidi FROM mynodes WHERE (Kleidi >= ' ' AND Kleidi < '!') "
                         "OR Kleidi >= x''");
    read(spaced);
    // No byte of UTF-8 text is 0xFF, so root + 0xFF is above every key that begins with root.
    Statement under(db, "SELECT ID, Kleidi FROM mynodes WHERE Kleidi >= ?1 AND Kleidi < ?2");
    for (const std::string &root : subtreeRoots) {
        under.reset();
        under.bind(1, root);
        under.bind(2, root + '\xFF');
        read(under);
    }
    // A key alone, or with spaces after it; not the keys below it.
    Statement exact(db, "SELECT ID, Kleidi FROM mynodes WHERE Kleidi = ?1 OR (Kleidi >= ?2 AND "
                        "Kleidi < ?3)");
    for (const std::string &key : keys) {
        exact.reset();
        exact.bind(1, key);
        exact.bind(2, key + ' ');
        exact.bind(3, key + '!');
        read(exact);
    }
    Statement byId(db, "SELECT ID, Kleidi FROM mynodes WHERE ID = ?");
    for (const std::int64_t id : ids) {
        byId.reset();
        byId.bind(1, id);
        read(byId);
    }
    std::vector<std::pair<std::int64_t, Value>> rows(found.begin(), found.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return inIndexOrder(a.second, b.second); });
    return rows;
}

void forEachNoteSize(Connection &db,
                     const std::function<void(std::int64_t id, std::int64_t bytes)> &visit)
{
    // The engine reads each note's length without copying the note out.
    Statement sizes(db, "SELECT ID, length(CAST(Keimeno AS BLOB)) FROM mynodes");
    while (sizes.step())
        visit(sizes.columnInt64(0), sizes.columnInt64(1));
}

std::optional<Value> noteWithKey(Connection &db, std::string_view key)
{
    Statement read(db, "SELECT Keimeno FROM mynodes WHERE Kleidi=?");
    read.bind(1, key);
    if (!read.step())
        return std::nullopt;
    return read.column(0);
}

SettingInserter::SettingInserter(Connection &db)
    : m_insert(db, "INSERT INTO parame (ID, timilo) VALUES (?, ?)")
{
}

void SettingInserter::insert(std::optional<std::int64_t> id, const Value &value)
{
    m_insert.reset();
    if (id)
        m_insert.bind(1, *id);
    else
        m_insert.bindNull(1); // the engine gives the next ID
    m_insert.bind(2, value);
    m_insert.run();
}

void forEachSetting(Connection &db,
                    const std::function<void(std::int64_t id, const Value &value)> &visit)
{
    Statement settings(db, "SELECT ID, timilo FROM parame ORDER BY ID");
    Value value;
    while (settings.step()) {
        settings.column(1, value);
        visit(settings.columnInt64(0), value);
    }
}

std::optional<std::int64_t> lastRowId(Connection &db)
{
    Statement sequence(db, "SELECT seq FROM sqlite_sequence WHERE name = 'mynodes'");
    if (!sequence.step())
        return std::nullopt;
    return sequence.columnInt64(0);
}

void setLastRowId(Connection &db, std::optional<std::int64_t> id)
{
    if (!id) {
        db.exec("DELETE FROM sqlite_sequence WHERE name = 'mynodes'");
        return;
    }
    Statement update(db, "UPDATE sqlite_sequence SET seq = ? WHERE name = 'mynodes'");
    update.bind(1, *id);
    update.run();
    Statement add(db, "INSERT INTO sqlite_sequence (name, seq) SELECT 'mynodes', ? WHERE NOT "
                      "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'mynodes')");
    add.bind(1, *id);
    add.run();
}

} // namespace quillet
