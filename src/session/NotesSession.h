#pragma once

#include "keeping/Welcome.h"
#include "store/OutlineChange.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet {

namespace moves {
struct Place;
struct Plan;
} // namespace moves
namespace deletions {
struct Copy;
struct Restored;
} // namespace deletions
namespace backups {
struct Made;
struct Restored;
} // namespace backups

class Connection;
class InUseLock;
class NoteHistory;
class NoteStore;
class Settings;
class Value;
struct KeyedRow;
struct NoteFormat;
struct NoteRow;
struct NoteVersion;
struct OutlineRow;
struct SearchRequest;
struct SearchResults;
struct VersionSummary;

// The notes database cannot serve at all (missing, unreadable, not a notes database, lacking a
// table or column): what is wrong, in plain words. Start-up cannot go on after this.
class NotesUnavailable : public std::runtime_error
{
public:
    explicit NotesUnavailable(const std::string &problem, int code = 0, std::string path = {})
        : std::runtime_error(problem)
        , m_code(code)
        , m_path(std::move(path))
    {
    }
    // The engine's reason code; 0 when the file is a database that lacks a table or column.
    int code() const { return m_code; }
    // The file it concerns.
    const std::string &path() const { return m_path; }

private:
    int m_code = 0;
    std::string m_path;
};

// What the work done with the file after start-up found.
struct Upkeep
{
    bool checked = false;      // the damage check ran to its end
    std::string damage;        // what the check found wrong; empty when the file is sound
    std::string backupFailure; // why the daily backup failed; empty when it did not
};

// The main window's position (outer frame) and size (inside it), in twips, as the settings
// keep them in positions 1 to 4.
struct WindowGeometry
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The open notes file and what belongs to it: the store, its history of versions, the settings
// read from it and stored with the workspace, the lock that tells other copies of the program
// and the tool that it is open, and the rule that nothing is deleted without a copy. The one
// door to the file: the program's main builds one and both windows receive it; every operation
// on the notes is one of its own, and the store and the history never leave it.
class NotesSession
{
public:
    NotesSession();
    ~NotesSession();
    NotesSession(const NotesSession &) = delete;
    NotesSession &operator=(const NotesSession &) = delete;

    // The database file the program uses in a folder: mydata.mdb there, or the file it links
    // to. Everything kept beside the database goes beside that file.
    static std::string databaseIn(const std::string &folder);
    // The installed program's first start (with the welcome note) and quillet-db init of the
    // user's own notes: makes the folder when missing and a starter database, mydata.mdb, in
    // it; both the user's alone (0700 and 0600), whatever the umask. Throws
    // std::system_error, StoreError or FileExists.
    static void makeStarterIn(const std::string &folder, Welcome welcome);
    // A new starter database at path (quillet-db init): the first item "A", the welcome item
    // when asked for, and the settings. Never over anything; throws FileExists,
    // std::system_error or StoreError.
    static void makeStarter(const std::string &path, Welcome welcome);
    // A new database at path made by fill (an import): its tables and number are made first,
    // fill writes the rows through the new file's connection and the versions through the
    // history that serves it, all in one transaction, and the file takes its name (with the
    // permission bits mode, less the umask's) only once the versions and the notes are on the
    // disk. On any failure nothing is left: neither the file nor a history file this began.
    // Never over anything; throws FileExists, std::system_error, StoreError or what fill throws.
    static void makeNew(const std::string &path,
                        const std::function<void(Connection &notes, NoteHistory &history)> &fill,
                        unsigned mode);
    // Makes a verified backup of the file at path with its history, keeping the newest keep, as
    // the daily backup does (backups::make).
    static backups::Made backUp(const std::string &path, int keep);
    // Puts a verified backup, with its history, in the place of the file at path, keeping the
    // file it replaces; refused while a copy of the program has it open (backups::restore).
    static backups::Restored restoreBackup(const std::string &backup, const std::string &path);
    // Whether a copy of the program has the database at path open (it holds the file's lock).
    static bool isOpenElsewhere(const std::string &path);

    // Names the notes database; nothing is opened yet.
    void setPath(std::string path) { m_path = std::move(path); }
    // The database file; empty before it is named.
    const std::string &path() const { return m_path; }
    // How the file is opened. For writing (the program, and the tool's commands that change the
    // notes): read-write, holding the lock that tells every copy of the program that it is
    // open, with the new IDs a crash left waiting in the history settled first. For reading
    // (the tool's check, export and stats, a history listed): read-only, without the lock, so
    // that a look works beside a running program and changes nothing.
    enum class Access { Writing, Reading };
    // Opens the notes database named; throws NotesUnavailable when it cannot serve, and, for
    // reading, StoreError (StoreError::waitsForRollback) when a change a crash cut short waits
    // in its journal, which only a writing open rolls back.
    void open(Access access = Access::Writing);
    // Closes the connection, then lets the lock go: the last database operation of a run.
    void close();
    bool isOpen() const { return m_store != nullptr; }

    Settings &settings() { return *m_settings; }
    // What the settings hold for the main window: its geometry (positions 1 to 4) and the
    // selected item's index (5), as loadSettings read them.
    WindowGeometry storedGeometry() const;
    std::int32_t storedSelection() const;
    // True when changes cannot be stored (the file, its folder or its disk is read-only).
    bool isReadOnly() const;

    // Fills the settings from the file.
    void loadSettings();

    // The operations on the open file below throw std::logic_error when it is not open, and
    // StoreError when the engine fails. A key is the key as the row stores it.

    // Calls visit for every row of the outline table in ID order, with the outline's columns.
    void scanOutline(const std::function<void(const OutlineRow &)> &visit);
    // The note and format columns of the row with the key; nothing when no row has it.
    std::optional<NoteRow> readNote(const std::string &storedKey);
    // The rows that deleting the item with the key (without surrounding spaces) would delete.
    std::vector<KeyedRow> subtreeRows(const std::string &key);
    // Adds a row with the key, the title and an empty note; returns the row put in. Throws
    // KeyTaken.
    OutlineChange addItem(const std::string &key, const std::string &title);
    // Stores the note's text. Throws when no row has the key.
    void storeNote(const std::string &storedKey, const std::string &text);
    // Stores the item's title. Throws when no row has the key.
    void rename(const std::string &storedKey, const std::string &title);
    // Stores the note's format; false, storing nothing, when no row has the key.
    bool storeFormat(const std::string &storedKey, const NoteFormat &format);
    // A search of the titles and notes that may run on a thread of its own: each call reads
    // the file through a read-only connection it makes (searchNotes).
    std::function<SearchResults(const SearchRequest &, const std::atomic<bool> &stop)>
    searcher() const;
    // Lends the open file's connection to a walk over its whole tables, for one call, in one
    // transaction: a reading's (the tool's check, export and stats) is one moment of the file;
    // a writing's (an import adding an outline) is one commit, on the disk when this returns,
    // or, when walk throws, nothing. The connection is not kept.
    void readTables(const std::function<void(Connection &)> &walk);
    void writeTables(const std::function<void(Connection &)> &walk);
    // Writes the whole file as one moment of it to out as an archive (archive::write), with the
    // notes' earlier versions when asked.
    void writeArchive(std::ostream &out, bool withHistory);
    // What is wrong with the history file beside the database, a line each; empty when it is
    // sound or not there (NoteHistory::problems).
    std::vector<std::string> historyProblems();
    // Prunes the history as the daily backup does (NoteHistory::prune); returns how many
    // versions went.
    int pruneHistory(std::int64_t now);
    // Stores the outline's expanded flags (in row order), then the settings with the window's
    // geometry in positions 1 to 4 and the selected index (decimal text) in 5. Throws
    // std::out_of_range, having stored the flags, when the index is not a 16-bit number.
    void storeWorkspace(const std::vector<bool> &expanded, const WindowGeometry &geometry,
                        const std::string &selectedIndex);

    // The work done with the file once the window shows, in one call that may run on a thread
    // of its own (it uses connections of its own and the file's name only): the engine's quick
    // check for damage, then, when the file is sound, backUp is set and a backup is due, the
    // daily backup (keeping 10) and the pruning of the notes' earlier versions. Setting stop
    // makes it give up soon.
    std::function<Upkeep(const std::atomic<bool> &stop)> upkeep(bool backUp) const;
    // The newest backup that still holds the note with the key exactly as given (its type and
    // bytes); empty when none does.
    std::string newestBackupHolding(const std::string &storedKey, const Value &note) const;

    // Moves the item with the key, with every row below it, to the place (see moves::plan),
    // its notes' earlier versions following; returns what was done, for undoing it. Throws
    // moves::MoveRefused with the reason, or StoreError, having changed nothing.
    moves::Plan moveItem(const std::string &key, const moves::Place &place);
    // Puts back every row an applied move changed, with its former ID and key.
    void undoMove(const moves::Plan &applied);

    // Deletes the item with the key and every row below it, once a copy of those rows is on
    // the disk in deleted/. Throws std::system_error when the copy cannot be written: then
    // nothing is deleted.
    // itemPath is the item's full path, which the copy records. Returns the copy's file; taken,
    // when given, receives the IDs of the rows taken out.
    std::string deleteWithCopy(const std::string &key, const std::string &itemPath = {},
                               OutlineChange *taken = nullptr);
    // The copies of deleted items kept beside the file, newest first (deletions::listCopies).
    std::vector<deletions::Copy> deletedCopies() const;
    // Puts back the items of a deletion's copy: where they were, with their own IDs and keys,
    // or, given under, as the last item under that item (empty: the top level) with new keys;
    // the copy takes a name that says it was put back (deletions::restore). Throws
    // deletions::PlaceTaken or std::runtime_error with the reason, having changed nothing.
    deletions::Restored putBack(const std::string &copyPath,
                                const std::optional<std::string> &under = std::nullopt);

    // Before a save replaces the note's text (titleOnly: a rename its title), keeps the row as
    // it is as a version in the history: when this is the first save of the visit to the item
    // (or asked to, before a restore from the history), or when the note's newest version is
    // older than ten minutes. Never fails the save: a history that cannot be written is kept
    // as a problem, to be said once (takeHistoryProblem); a busy one is skipped.
    void keepVersion(const std::string &storedKey, bool firstOfVisit, bool titleOnly);
    // Puts back the note of the version with the number, exactly as it was stored, keeping the
    // note it replaces as a version first. False, changing nothing, when there is no such
    // version of a note's text.
    bool restoreVersion(const std::string &storedKey, std::int64_t number);
    // Why the history is not being kept, the first time it fails in this run; empty after.
    std::string takeHistoryProblem();
    // That the history file found beside the database was another database's and was set
    // aside, once; empty otherwise.
    std::string takeHistoryNotice();
    // The versions kept of the note with the key, newest first; nothing when no row has the
    // key. Throws HistoryUnavailable when the history cannot be read.
    std::optional<std::vector<VersionSummary>> versionsOf(const std::string &storedKey);
    // The version with the number, whole; nothing when there is none.
    std::optional<NoteVersion> version(std::int64_t number);
    // The clock versions are kept by (seconds since 1970); the system's unless a test sets it.
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

private:
    // The open store and history; throw std::logic_error when the file is not open.
    NoteStore &store();
    NoteHistory &history();

    std::string m_path;
    std::unique_ptr<Settings> m_settings;
    // Taken before the connection opens and let go after it closes: closing a descriptor of the
    // file drops the engine's locks on it.
    std::unique_ptr<InUseLock> m_inUse;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<NoteHistory> m_history;
    std::function<std::int64_t()> m_clock;
    std::string m_historyProblem; // waiting to be said
    std::string m_historyNotice;  // waiting to be said
    bool m_hasFileId = false;     // the database has its number, given or read
    bool m_historyFailed = false; // said once a run
};

} // namespace quillet
