#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "store/Keys.h"
#include "store/Tables.h"

#include <algorithm>
#include <sys/stat.h>
#include <system_error>

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

bool NoteHistory::beginRenumbering(const std::vector<Renumbered> &renumbered)
{
    Connection *db = open(false);
    if (!db || renumbered.empty())
        return false;
    // Only rows with versions have any to take along; a move of rows without any is nothing
    // to the history. The notes with versions are read from the index in one pass over the
    // renumbered rows' range of IDs.
    const auto [lowest, highest] = std::minmax_element(
        renumbered.begin(), renumbered.end(),
        [](const Renumbered &a, const Renumbered &b) { return a.oldId < b.oldId; });
    std::vector<std::int64_t> versioned;
    try {
        Statement kept(*db, "SELECT DISTINCT noteId FROM versions WHERE noteId BETWEEN ? AND ? "
                            "ORDER BY noteId");
        kept.bind(1, lowest->oldId);
        kept.bind(2, highest->oldId);
        while (kept.step())
            versioned.push_back(kept.columnInt64(0));
    } catch (const StoreError &error) {
        unavailable(error, true);
    }
    std::vector<Renumbered> rows;
    for (const Renumbered &row : renumbered)
        if (std::binary_search(versioned.begin(), versioned.end(), row.oldId))
            rows.push_back(row);
    if (rows.empty())
        return false;
    // The marker is on the disk first: the next start sees it and settles the new IDs before
    // it makes any row, which could take one of them.
    const std::string marker = places::renumberingMarker(m_databasePath);
    try {
        // What a kill left of an earlier one is no reason to lose the versions' way.
        durable::remove(marker + ".partial");
        durable::remove(marker);
        durable::writeFile(marker, "", durable::fileModeFor(m_databasePath));
    } catch (const std::system_error &error) {
        throw HistoryUnavailable(error.what());
    }
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
    durable::remove(places::renumberingMarker(m_databasePath));
}

void NoteHistory::settleWaitingRenumbering()
{
    const std::string marker = places::renumberingMarker(m_databasePath);
    struct stat info
    {
    };
    if (::stat(marker.c_str(), &info) != 0)
        return;
    // Opening the file settles what waits in it.
    if (Connection *db = open(false); db || !exists())
        durable::remove(marker);
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
    durable::remove(places::renumberingMarker(m_databasePath));
}

void NoteHistory::settleRenumbering(Connection &db)
{
    const std::string marker = places::renumberingMarker(m_databasePath);
    if (!hasTable(db)) {
        durable::remove(marker);
        return;
    }
    // The notes committed the change when no row is left under an old ID, which a committed
    // change vacates and no row takes again, and rows stand under the new IDs with their new
    // keys; any row still under its old ID says it was not committed.
    std::vector<Renumbered> waiting;
    {
        Statement read(db, "SELECT oldId, newId, newKey FROM renumbering");
        while (read.step())
            waiting.push_back({read.columnInt64(0), read.columnInt64(1), read.columnText(2)});
    }
    if (waiting.empty()) {
        durable::remove(marker);
        return;
    }
    bool committed = false;
    try {
        RowReader read(m_notes);
        StoredRow row;
        for (const Renumbered &entry : waiting) {
            if (read.read(entry.oldId, row)) {
                committed = false;
                break;
            }
            if (read.read(entry.newId, row) &&
                keys::trimSpaces(row[1].textView().value_or("")) == entry.newKey)
                committed = true;
        }
    } catch (const StoreError &) {
        return; // settled when the notes can be read
    }
    Transaction transaction(db);
    if (committed)
        applyRenumbering(db);
    else
        db.exec("DELETE FROM renumbering");
    transaction.commit();
    durable::remove(marker);
}

} // namespace quillet
