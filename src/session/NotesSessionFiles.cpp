#include "keeping/Backups.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "session/NotesSession.h"
#include "store/QuickCheck.h"
#include "store/Schema.h"

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

// The files the session makes beside the open file or in its place: new notes databases, and
// the verified backups, with the work done with the file once the window shows.

namespace quillet {

void NotesSession::makeStarterIn(const std::string &folder, Welcome welcome)
{
    initInPrivateFolder(folder, welcome);
}

void NotesSession::makeStarter(const std::string &path, Welcome welcome)
{
    initDatabase(path, newdatabase::kStarterTitle, welcome);
}

namespace {

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// Takes away a history file a new database began, with its log, and its folder if it began
// that too.
void removeHistory(const std::string &path, bool folderWasThere)
{
    const std::string file = places::historyFile(path);
    for (const char *suffix : {"-wal", "-shm", ""})
        durable::remove(file + suffix);
    if (!folderWasThere)
        ::rmdir(places::historyFolder(path).c_str());
}

} // namespace

void NotesSession::makeNew(const std::string &path,
                           const std::function<void(Connection &, NoteHistory &)> &fill,
                           unsigned mode)
{
    const bool historyWasThere = exists(places::historyFile(path));
    const bool folderWasThere = exists(places::historyFolder(path));
    try {
        createDatabase(
            path,
            [&](Connection &db) {
                // The versions serve the new database, which is not at its name yet; they are
                // on the disk before the notes take it.
                NoteHistory history(path, db);
                history.pairWith(schema::fileIdOf(db));
                fill(db, history);
                history.settle();
            },
            static_cast<mode_t>(mode));
        // Begun before the database had its name and permissions: the versions are as private
        // as the notes, no more and no less.
        if (!historyWasThere && exists(places::historyFile(path)))
            ::chmod(places::historyFile(path).c_str(), durable::fileModeFor(path));
    } catch (...) {
        if (!historyWasThere)
            removeHistory(path, folderWasThere);
        throw;
    }
}

backups::Made NotesSession::backUp(const std::string &path, int keep)
{
    return backups::make(path, keep);
}

backups::Restored NotesSession::restoreBackup(const std::string &backup, const std::string &path)
{
    return backups::restore(backup, path);
}

std::function<Upkeep(const std::atomic<bool> &)> NotesSession::upkeep(bool backUp) const
{
    return [path = m_path, backUp](const std::atomic<bool> &stop) {
        Upkeep done;
        const DamageFinding finding = quickCheck(path, stop);
        if (finding.outcome == DamageFinding::Outcome::NotChecked)
            return done;
        done.checked = true;
        done.damage = finding.problem;
        if (finding.outcome != DamageFinding::Outcome::Sound || !backUp)
            return done;
        try {
            if (backups::due(path)) {
                backups::make(path, 10, &stop);
                // The history is pruned once a day, once its copy is in the backup.
                Connection notes(path, Connection::Mode::ReadOnly);
                NoteHistory(path, notes).prune(static_cast<std::int64_t>(std::time(nullptr)));
            }
        } catch (const std::exception &error) {
            if (!stop)
                done.backupFailure = error.what();
        }
        return done;
    };
}

std::string NotesSession::newestBackupHolding(const std::string &storedKey, const Value &note) const
{
    return backups::newestHolding(m_path, storedKey, note);
}

} // namespace quillet
