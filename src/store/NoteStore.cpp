#include "store/NoteStore.h"

#include "store/Schema.h"

#include <sqlite3.h>

namespace quillet {

namespace {

Connection &checked(Connection &connection)
{
    try {
        schema::check(connection);
    } catch (const DatabaseUnavailable &) {
        throw;
    } catch (const StoreError &error) {
        throw DatabaseUnavailable(error.code(),
                                  "The file cannot be read as a database: " + error.message(),
                                  error.path());
    }
    return connection;
}

} // namespace

NoteStore::NoteStore(const std::string &path)
    : m_connection((schema::verifyFile(path), path), Connection::Mode::ReadWrite)
{
    checked(m_connection);
    // Full sync: an acknowledged write is on the disk before we say it is stored.
    m_connection.exec("PRAGMA synchronous=FULL");
    // The by-key statement is prepared once; the key is always a bound parameter.
    m_readNote = std::make_unique<Statement>(
        m_connection, "SELECT Keimeno, MegFonta, Grammatoseira, XromaFont, XromaBack, FontaBold, "
                      "FontaPlagia FROM mynodes WHERE Kleidi=?");
}

void NoteStore::scanOutline(const std::function<void(const OutlineRow &)> &visit)
{
    Statement scan(m_connection, "SELECT ID, Kleidi, MyText, anoixto FROM mynodes ORDER BY ID");
    OutlineRow row;
    while (scan.step()) {
        row.id = scan.columnInt64(0);
        row.key = scan.column(1);
        row.title = scan.column(2);
        row.expanded = scan.column(3);
        visit(row);
    }
}

std::optional<NoteRow> NoteStore::readNote(std::string_view key)
{
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
            throw StoreError(0,
                             "The table \"parame\" has more than 30 rows; settings position " +
                                 std::to_string(position) + " is out of range (1 to 30).",
                             path());
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

} // namespace quillet
