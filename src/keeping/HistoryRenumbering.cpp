#include "keeping/History.h"
#include "store/Keys.h"
#include "store/Tables.h"

// The notes' versions following their rows to new IDs.

namespace quillet {

namespace {

constexpr const char *kTable = "CREATE TABLE IF NOT EXISTS renumbering (oldId INTEGER PRIMARY "
                               "KEY, newId INTEGER NOT NULL, newKey TEXT NOT NULL)";

bool hasTable(Connection &db)
{
    Statement table(db, "SELECT count(*) FROM sqlite_master WHERE name='renumbering'");
    return table.step() && table.columnInt64(0) > 0;
}

// The versions take their rows' new IDs, in the caller's transaction. Through negative numbers,
// which no note has, so that a version never meets a number another version is leaving.
void applyRenumbering(Connection &db)
{
    db.exec("UPDATE versions SET noteId = -(SELECT newId FROM renumbering WHERE oldId = "
            "versions.noteId) WHERE noteId IN (SELECT oldId FROM renumbering)");
    db.exec("UPDATE versions SET noteId = -noteId WHERE noteId < 0");
    db.exec("DELETE FROM renumbering");
}

} // namespace

bool NoteHistory::beginRenumbering(const std::vector<Renumbered> &rows)
{
    Connection *db = open(false);
    if (!db || rows.empty())
        return false;
    try {
        // This one write is on the disk before the notes change: a power cut after their
        // commit must find it.
        db->exec("PRAGMA synchronous=FULL");
        {
            Transaction transaction(*db);
            db->exec(kTable);
            db->exec("DELETE FROM renumbering");
            Statement add(*db, "INSERT INTO renumbering (oldId, newId, newKey) VALUES (?, ?, ?)");
            for (const Renumbered &row : rows) {
                add.reset();
                add.bind(1, row.oldId);
                add.bind(2, row.newId);
                add.bind(3, row.newKey);
                add.run();
            }
            transaction.commit();
        }
        db->exec("PRAGMA synchronous=NORMAL");
    } catch (const StoreError &error) {
        db->tryExec("PRAGMA synchronous=NORMAL");
        unavailable(error, true);
    }
    return true;
}

void NoteHistory::finishRenumbering()
{
    Connection *db = open(false);
    if (!db)
        return;
    try {
        Transaction transaction(*db);
        applyRenumbering(*db);
        transaction.commit();
    } catch (const StoreError &error) {
        unavailable(error, true);
    }
}

void NoteHistory::dropRenumbering()
{
    Connection *db = open(false);
    if (!db)
        return;
    try {
        if (hasTable(*db))
            db->exec("DELETE FROM renumbering");
    } catch (const StoreError &error) {
        unavailable(error, true);
    }
}

void NoteHistory::settleRenumbering(Connection &db)
{
    if (!hasTable(db))
        return;
    Statement first(db, "SELECT newId, newKey FROM renumbering LIMIT 1");
    if (!first.step())
        return;
    const std::int64_t newId = first.columnInt64(0);
    const std::string newKey = first.columnText(1);
    first.reset();
    // The notes committed the change when a row stands under its new ID with its new key: the
    // new IDs were never given before it.
    bool committed = false;
    try {
        Connection notes(m_databasePath, Connection::Mode::ReadOnly);
        StoredRow row;
        committed = RowReader(notes).read(newId, row) &&
                    keys::trimSpaces(row[1].textView().value_or("")) == newKey;
    } catch (const StoreError &) {
        return; // settled when the notes can be read
    }
    Transaction transaction(db);
    if (committed)
        applyRenumbering(db);
    else
        db.exec("DELETE FROM renumbering");
    transaction.commit();
}

} // namespace quillet
