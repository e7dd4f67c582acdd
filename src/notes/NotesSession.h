#pragma once

#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "store/NoteStore.h"
#include "store/Settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet {

// The main window's position (outer frame) and size (inside it), in twips, as the settings
// keep them in positions 1 to 4.
struct WindowGeometry
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The open notes file and what belongs to it: the store, the settings read from it and stored
// with the workspace, the lock that tells other copies of the program and the tool that it is
// open, and the rule that nothing is deleted without a copy. The program's main builds one;
// both windows receive it, and neither hands the store out.
class NotesSession
{
public:
    NotesSession() = default;
    ~NotesSession();
    NotesSession(const NotesSession &) = delete;
    NotesSession &operator=(const NotesSession &) = delete;

    // Opens the notes database at path; throws DatabaseUnavailable when it cannot serve.
    void open(const std::string &path);
    // Closes the connection, then lets the lock go: the last database operation of a run.
    void close();
    bool isOpen() const { return m_store != nullptr; }
    // The database file; empty before open.
    const std::string &path() const { return m_path; }

    // The open store; throws std::logic_error when the file is not open.
    NoteStore &store();
    Settings &settings() { return m_settings; }
    // True when changes cannot be stored (the file, its folder or its disk is read-only).
    bool isReadOnly() const;

    // Fills the settings from the file.
    void loadSettings();
    // Stores the outline's expanded flags (in row order), then the settings with the window's
    // geometry in positions 1 to 4 and the selected index (decimal text) in 5. Throws
    // std::out_of_range, having stored the flags, when the index is not a 16-bit number.
    void storeWorkspace(const std::vector<bool> &expanded, const WindowGeometry &geometry,
                        const std::string &selectedIndex);

    // Deletes the item with the key and every row below it, once a copy of those rows is on
    // the disk in deleted/. Throws std::system_error when the copy cannot be written: then
    // nothing is deleted.
    int deleteWithCopy(const std::string &key);

    // Before a save replaces the note's text (titleOnly: a rename its title), keeps the row as
    // it is as a version in the history: when this is the first save of the visit to the item
    // (or asked to, before a restore from the history), or when the note's newest version is
    // older than ten minutes. Never fails the save: a history that cannot be written is kept
    // as a problem, to be said once (takeHistoryProblem); a busy one is skipped.
    void keepVersion(const std::string &storedKey, bool firstOfVisit, bool titleOnly);
    // Why the history is not being kept, the first time it fails in this run; empty after.
    std::string takeHistoryProblem();
    // That the history file found beside the database was another database's and was set
    // aside, once; empty otherwise.
    std::string takeHistoryNotice();
    // The open file's history of notes; throws std::logic_error when the file is not open.
    NoteHistory &history();
    // The clock versions are kept by (seconds since 1970); the system's unless a test sets it.
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

private:
    std::string m_path;
    Settings m_settings;
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
