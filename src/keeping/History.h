#pragma once

#include "store/Sqlite.h"
#include "store/StoredRow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet {

class NoteStore;

// One kept version of a note: its whole row as it was stored, and when it was kept.
struct NoteVersion
{
    std::int64_t number = 0; // rises through the history file
    StoredRow row;           // every column as stored then: ID, key, title, the note's bytes
    bool titleOnly = false;  // a rename kept the old title; the note is not this version's
    std::int64_t keptAt = 0; // seconds since 1970, UTC
};

// What a list of versions shows of each, without reading its whole note.
struct VersionSummary
{
    std::int64_t number = 0;
    std::int64_t keptAt = 0;
    bool titleOnly = false;
    std::int64_t bytes = 0; // the note's size (the title's, for a title version)
    std::string start;      // its first bytes, up to 200
};

// The history file cannot be made, read or written: why, in words.
class HistoryUnavailable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The earlier versions of the notes of one database, in a file of their own beside it
// (history/<stem>-history.db, beside the file a link points to), made when first needed with
// the database's permissions; the notes database itself is never changed by it. Losing a
// version at a power cut loses no note, so the file is written ahead in a log with normal
// sync: cheaper than the notes' own commits, and never a setting that can damage the file.
// It is never waited on: a write that finds it busy is skipped.
//
// Versions are matched to notes by row ID, so the file records the number of the database it
// serves (schema::fileIdOf) and serves no other: a history file found beside another database
// (one made again, or copied in) shows nothing, and the first version kept sets it aside under
// a name that says so and begins a new one. A history file made before databases had numbers
// takes the number its database is given (adopt).
//
// It reads the notes file only through the connection it is given, the one that writes the
// notes: the file's number, and the rows that tell whether renumbered rows were committed. It
// is used on that connection's thread.
class NoteHistory
{
public:
    // The history of the notes in the store's file.
    explicit NoteHistory(NoteStore &notes);
    // The history of the notes file at databasePath, open through notes (a database an import
    // is making, a file a reading opened).
    NoteHistory(std::string databasePath, Connection &notes);
    ~NoteHistory();
    NoteHistory(const NoteHistory &) = delete;
    NoteHistory &operator=(const NoteHistory &) = delete;

    // Whether the history file is there.
    bool exists() const;

    // Serves the database with this number from now on; until told, the number is read from
    // the database file when the history is first opened.
    void pairWith(std::int32_t databaseId);
    // The database has just been given its first number: a history file made before databases
    // had numbers is its own, and takes the number too.
    void adopt(std::int32_t databaseId);
    // Where the history file of another database was set aside to begin this one's, once
    // after it happened; empty otherwise.
    std::string takeSetAside();
    // What is wrong with the history file, a line each: it cannot be opened, the engine's
    // integrity check fails, or it is another database's. Empty when it is sound or not there.
    // Changes nothing.
    std::vector<std::string> problems();

    // Rows of the notes database that take new IDs (a move, its undo, an undelete under another
    // item) take their versions along. No one commit covers both files, so it goes in three
    // steps: the new IDs of the rows that have versions are written here and synced before the
    // notes commit (begin, false when there is no history or none of the rows has a version),
    // and the versions take them after it (finish); a change of the notes that failed drops
    // them (drop). Whatever a crash leaves between the steps is finished or dropped when the
    // file is next opened, by whether the notes hold the rows under their new IDs and keys.
    struct Renumbered
    {
        std::int64_t oldId = 0;
        std::int64_t newId = 0;
        std::string newKey;
    };
    bool beginRenumbering(const std::vector<Renumbered> &rows);
    // Settles new IDs left waiting by a crash, before anything that makes rows: a new row
    // could take a waiting ID. Cheap when none wait (a marker file tells).
    void settleWaitingRenumbering();
    void finishRenumbering();
    void dropRenumbering();

    // Keeps a version of the row. False when the file is busy (the version is skipped);
    // throws HistoryUnavailable when the file cannot be made or written.
    bool keep(const StoredRow &row, bool titleOnly, std::int64_t keptAt);
    // When the newest version of the note's text (or of its title) was kept; nothing when
    // none was.
    std::optional<std::int64_t> newestKept(std::int64_t noteId, bool titleOnly);
    // The note's versions, newest first; none when there is no history file.
    std::vector<NoteVersion> versionsOf(std::int64_t noteId);
    std::vector<VersionSummary> summariesOf(std::int64_t noteId);
    std::optional<NoteVersion> version(std::int64_t number);
    // Every version, oldest first, for an archive of the database: one at a time.
    void forEachVersion(const std::function<void(const NoteVersion &)> &visit);
    // Puts versions into the history file as they are (their numbers and times kept).
    void add(const std::vector<NoteVersion> &versions);
    // Moves what the log holds into the file and syncs it, for versions that must be on the
    // disk now rather than at the next checkpoint (an import's).
    void settle();

    // Prunes the history as of now: every version younger than 7 days stays; of those from 7
    // to 90 days old, the newest of each calendar day (local time); older, the newest of each
    // calendar month; and at most 200 versions of a note, the oldest going first. Text and
    // title versions are pruned apart. Returns how many versions went.
    int prune(std::int64_t now);

private:
    Connection *open(bool create);
    std::int32_t databaseId();
    void setAside(const std::string &file);
    void settleRenumbering(Connection &db);
    [[noreturn]] void unavailable(const StoreError &error, bool writing) const;
    // Runs a read of the history file, saying the engine's failures as the history's own.
    template <typename Body>
    auto reading(Body &&body)
    {
        try {
            return body();
        } catch (const HistoryUnavailable &) {
            throw;
        } catch (const StoreError &error) {
            unavailable(error, false);
        }
    }

    std::string m_databasePath;
    Connection &m_notes;
    std::unique_ptr<Connection> m_db;
    std::optional<std::int32_t> m_databaseId;
    bool m_foreign = false; // the file there is another database's
    std::string m_setAside; // waiting to be said
};

} // namespace quillet
