#include "store/NoteStore.h"

#include "store/Keys.h"
#include "store/Schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <unistd.h>

namespace quillet {

// Any failure while opening means the file cannot serve as the notes database.
NoteStore::NoteStore(const std::string &path, Access access)
try : m_connection(schema::open(path, access == Access::ReadWrite ? Connection::Mode::ReadWrite
                                                                  : Connection::Mode::ReadOnly)) {
    if (access == Access::ReadOnly)
        return; // a look reads what it is asked, and says what it cannot read as it meets it
    // An acknowledged write is on the disk, and stays there through a power cut, before we
    // say it is stored.
    m_connection.useDurableCommits();
    // The by-key statement is prepared once; the key is always a bound parameter.
    prepareReadNote();
} catch (const DatabaseUnavailable &) {
    throw;
} catch (const StoreError &error) {
    // A look reports what the engine met as it is, the place it stopped included.
    if (error.waitsForRollback() || access == Access::ReadOnly)
        throw;
    throw DatabaseUnavailable(
        error.code(), "The file cannot be read as a database: " + error.message(), error.path());
}

void NoteStore::prepareReadNote()
{
    m_readNote = std::make_unique<Statement>(
        m_connection, "SELECT Keimeno, MegFonta, Grammatoseira, XromaFont, XromaBack, FontaBold, "
                      "FontaPlagia FROM mynodes WHERE Kleidi=?");
}

void NoteStore::throwTooManySettings(int position) const
{
    throw StoreError(0,
                     "The table \"parame\" has more than 30 rows; settings position " +
                         std::to_string(position) + " is out of range (1 to 30).",
                     path());
}

bool NoteStore::isReadOnly() const
{
    if (m_connection.isReadOnly())
        return true;
    const std::string &file = path();
    const std::size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    return ::access(file.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0;
}

std::int32_t NoteStore::fileId()
{
    return schema::fileIdOf(m_connection);
}

std::int32_t NoteStore::giveFileId()
{
    Transaction transaction(m_connection);
    std::int32_t id = schema::fileIdOf(m_connection);
    if (id == 0) {
        id = schema::newFileId();
        schema::setFileId(m_connection, id);
    }
    transaction.commit();
    return id;
}

void scanOutlineRows(Connection &db, const std::function<void(const OutlineRow &)> &visit)
{
    Statement scan(db, "SELECT ID, Kleidi, MyText, anoixto FROM mynodes ORDER BY ID");
    OutlineRow row;
    while (scan.step()) {
        row.id = scan.columnInt64(0);
        scan.column(1, row.key);
        scan.column(2, row.title);
        scan.column(3, row.expanded);
        visit(row);
    }
}

void NoteStore::scanOutline(const std::function<void(const OutlineRow &)> &visit)
{
    scanOutlineRows(m_connection, visit);
}

std::optional<NoteRow> NoteStore::readNote(std::string_view key)
{
    if (!m_readNote)
        prepareReadNote();
    Statement &select = *m_readNote;
    select.reset();
    select.bind(1, key);
    std::optional<NoteRow> note;
    if (select.step()) {
        note.emplace();
        note->text = select.column(0);
        note->fontSize = select.column(1);
        note->fontName = select.column(2);
        note->foreColor = select.column(3);
        note->backColor = select.column(4);
        note->bold = select.column(5);
        note->italic = select.column(6);
    }
    select.reset();
    return note;
}

void NoteStore::loadSettings(Settings &settings)
{
    Statement scan(m_connection, "SELECT timilo FROM parame ORDER BY ID");
    int position = 1;
    while (scan.step()) {
        if (position > Settings::kCount)
            throwTooManySettings(position);
        const std::optional<std::int32_t> value = scan.column(0).toInt32();
        if (!value)
            throw StoreError(0,
                             "Row " + std::to_string(position) +
                                 " of the table \"parame\" does not hold a whole number "
                                 "between -2147483648 and 2147483647.",
                             path());
        settings.at(position) = *value;
        ++position;
    }
    if (position == 1)
        throw StoreError(0, "The table \"parame\" has no rows; the settings cannot be read.",
                         path());
}

namespace {

// Runs body inside one immediate transaction. When body stops part-way on a problem in the
// data (a table with too few or too many rows), what it wrote before is committed, as writing
// row by row would leave it, and the error goes on to the caller. When the engine fails (a full
// disk, an I/O error, a lock), the whole operation is rolled back, so the file is as it was.
template <class Body>
void inTransaction(Connection &connection, Body &&body)
{
    Transaction transaction(connection);
    try {
        body();
    } catch (const StoreError &error) {
        if (error.code() == 0) {
            try {
                transaction.commit();
            } catch (...) {
                // The first failure is the one to report; the rollback in the destructor stands.
            }
        }
        throw;
    }
    transaction.commit();
}

void updateOneRow(Connection &connection, const char *sql, const Value &value, std::string_view key,
                  const char *what)
{
    inTransaction(connection, [&] {
        Statement update(connection, sql);
        update.bind(1, value);
        update.bind(2, key);
        update.run();
        if (connection.changes() != 1)
            throw StoreError(0,
                             std::string("The ") + what +
                                 " could not be stored: no item has "
                                 "the key \"" +
                                 std::string(key) + "\".",
                             connection.path());
    });
}

} // namespace

void NoteStore::saveText(std::string_view key, std::string_view text)
{
    saveNoteValue(key, Value::text(std::string(text)));
}

void NoteStore::saveNoteValue(std::string_view key, const Value &note)
{
    updateOneRow(m_connection, "UPDATE mynodes SET Keimeno=? WHERE Kleidi=?", note, key, "note");
}

std::optional<std::int64_t> NoteStore::idOf(std::string_view key)
{
    Statement select(m_connection, "SELECT ID FROM mynodes WHERE Kleidi=?");
    select.bind(1, key);
    if (!select.step())
        return std::nullopt;
    return select.columnInt64(0);
}

std::optional<StoredRow> NoteStore::readRow(std::string_view key)
{
    Statement select(m_connection, selectRowColumns() + " FROM mynodes WHERE Kleidi=?");
    select.bind(1, key);
    if (!select.step())
        return std::nullopt;
    StoredRow row;
    for (std::size_t c = 0; c < row.size(); ++c)
        select.column(static_cast<int>(c), row[c]);
    return row;
}

bool NoteStore::saveFormat(std::string_view key, const NoteFormat &format)
{
    bool found = false;
    inTransaction(m_connection, [&] {
        Statement update(
            m_connection,
            "UPDATE mynodes SET Grammatoseira=?, MegFonta=?, XromaFont=?, XromaBack=?, "
            "FontaBold=?, FontaPlagia=? WHERE Kleidi=?");
        update.bind(1, std::string_view(format.fontName));
        update.bind(2, static_cast<double>(format.fontSize));
        update.bind(3, std::int64_t{format.foreColor});
        update.bind(4, std::int64_t{format.backColor});
        update.bind(5, std::int64_t{format.bold ? 1 : 0});
        update.bind(6, std::int64_t{format.italic ? 1 : 0});
        update.bind(7, key);
        update.run();
        found = m_connection.changes() > 0;
    });
    return found;
}

void NoteStore::rename(std::string_view key, std::string_view title)
{
    updateOneRow(m_connection, "UPDATE mynodes SET MyText=? WHERE Kleidi=?",
                 Value::text(std::string(title)), key, "title");
}

std::int64_t NoteStore::insertItem(std::string_view key, std::string_view title)
{
    std::int64_t id = 0;
    try {
        inTransaction(m_connection, [&] {
            Statement insert(m_connection,
                             "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES (?, ?, '')");
            insert.bind(1, key);
            insert.bind(2, title);
            insert.run();
            id = sqlite3_last_insert_rowid(m_connection.handle());
        });
    } catch (const StoreError &error) {
        if ((error.code() & 0xFF) != SQLITE_CONSTRAINT)
            throw;
        throw KeyTaken(error.code(),
                       "The key \"" + std::string(key) + "\" is already taken by another row.",
                       path());
    }
    return id;
}

namespace {

// The rows the subtree delete of key takes, in ID order: every row whose key without its
// surrounding spaces begins with key. The candidates come from two ranges of the key index:
// keys that begin with the key itself, and keys that begin with a space. No byte of UTF-8 text
// is 0xFF, so key + 0xFF is above every key that begins with key. The notes are never read.
std::vector<KeyedRow> rowsUnder(Connection &connection, std::string_view key)
{
    Statement scan(connection, "SELECT ID, Kleidi FROM mynodes WHERE (Kleidi >= ?1 AND "
                               "Kleidi < ?2) OR (Kleidi >= ' ' AND Kleidi < '!')");
    scan.bind(1, key);
    scan.bind(2, std::string(key) + '\xFF');
    std::vector<KeyedRow> rows;
    while (scan.step()) {
        const std::optional<std::string> stored = scan.column(1).toText();
        if (!stored)
            continue;
        std::string trimmed = keys::trimSpaces(*stored);
        if (trimmed.starts_with(key))
            rows.push_back({scan.columnInt64(0), std::move(trimmed)});
    }
    std::sort(rows.begin(), rows.end(),
              [](const KeyedRow &a, const KeyedRow &b) { return a.id < b.id; });
    return rows;
}

} // namespace

std::vector<KeyedRow> NoteStore::subtreeRows(std::string_view key)
{
    if (key.empty())
        return {};
    return rowsUnder(m_connection, key);
}

int NoteStore::deleteSubtree(std::string_view key,
                             const std::function<void(const std::vector<StoredRow> &)> &keepCopy)
{
    if (key.empty())
        return 0;
    int deleted = 0;
    inTransaction(m_connection, [&] {
        // The test is a prefix test on the stored key without its surrounding spaces, so the
        // item and all its descendants go, with any row whose key merely begins with the key.
        Statement remove(m_connection, "DELETE FROM mynodes WHERE ID=?");
        std::vector<std::int64_t> doomed;
        for (const KeyedRow &row : rowsUnder(m_connection, key))
            doomed.push_back(row.id);
        if (keepCopy) {
            Statement read(m_connection, selectRowColumns() + " FROM mynodes WHERE ID=?");
            std::vector<StoredRow> rows(doomed.size());
            for (std::size_t r = 0; r < doomed.size(); ++r) {
                read.reset();
                read.bind(1, doomed[r]);
                if (!read.step())
                    throw StoreError(SQLITE_INTERNAL, "A row to delete could not be read again.",
                                     path());
                for (std::size_t c = 0; c < rows[r].size(); ++c)
                    read.column(static_cast<int>(c), rows[r][c]);
            }
            keepCopy(rows);
        }
        for (std::int64_t id : doomed) {
            remove.reset();
            remove.bind(1, id);
            remove.run();
            ++deleted;
        }
    });
    return deleted;
}

void NoteStore::storeExpanded(const std::vector<bool> &flags)
{
    inTransaction(m_connection, [&] {
        Statement scan(m_connection, "SELECT ID FROM mynodes ORDER BY ID");
        Statement update(m_connection, "UPDATE mynodes SET anoixto=? WHERE ID=?");
        std::vector<std::int64_t> ids;
        ids.reserve(flags.size());
        while (ids.size() < flags.size() && scan.step())
            ids.push_back(scan.columnInt64(0));
        for (std::size_t i = 0; i < flags.size(); ++i) {
            if (i == ids.size())
                throw StoreError(0,
                                 "The outline has " + std::to_string(flags.size()) +
                                     " items but the table \"mynodes\" has only " +
                                     std::to_string(ids.size()) +
                                     " rows; the expanded state of the items after row " +
                                     std::to_string(ids.size()) + " was not stored.",
                                 path());
            update.reset();
            update.bind(1, std::int64_t{flags[i] ? 1 : 0});
            update.bind(2, ids[i]);
            update.run();
        }
    });
}

void NoteStore::storeSettings(const Settings &settings)
{
    inTransaction(m_connection, [&] {
        Statement scan(m_connection, "SELECT ID FROM parame ORDER BY ID");
        Statement update(m_connection, "UPDATE parame SET timilo=? WHERE ID=?");
        std::vector<std::int64_t> ids;
        while (scan.step())
            ids.push_back(scan.columnInt64(0));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const int position = static_cast<int>(i) + 1;
            if (position > Settings::kCount)
                throwTooManySettings(position);
            update.reset();
            update.bind(1, std::int64_t{settings.at(position)});
            update.bind(2, ids[i]);
            update.run();
        }
    });
}

} // namespace quillet
