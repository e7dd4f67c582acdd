#include "keeping/Backups.h"

#include "keeping/DurableFiles.h"
#include "keeping/FileOperations.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/Places.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/Tables.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <regex>
#include <set>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::backups {

namespace {

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// When the file last changed, in nanoseconds since the epoch; 0 when it cannot be read.
long long modified(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

} // namespace

namespace {

// What the engine's integrity check finds in the open file: empty when it passes.
std::string integrityProblems(Connection &db)
{
    Statement check(db, "PRAGMA integrity_check(20)");
    std::string lines;
    while (check.step()) {
        if (!lines.empty())
            lines += '\n';
        lines += check.columnText(0);
    }
    return lines == "ok" ? std::string() : lines;
}

// The engine's files beside a copy being made: its journal, and the log and index of a copy of
// a file written ahead in a log (the history).
const std::vector<std::string> kBesideCopy{"-journal", "-wal", "-shm"};

// Copies the open database into file through the engine's online backup: into "<file>.partial"
// made with the given permissions and locked while it is written, synced, checked by check
// (empty: sound), and only then given its name. False when stop was set first; throws when the
// copy fails or does not pass.
bool copyVerified(Connection &source, const std::string &file, mode_t mode,
                  const std::atomic<bool> *stop,
                  const std::function<std::string(const std::string &)> &check)
{
    const std::string partial = file + ".partial";
    durable::removeUnheld(partial, kBesideCopy);
    const int held = durable::createHeld(partial, mode);
    const auto giveUp = [&] {
        for (const std::string &suffix : kBesideCopy)
            durable::remove(partial + suffix);
        durable::remove(partial);
        durable::fileOperations().close(held);
    };
    try {
        bool copied = false;
        {
            Connection copy(partial, Connection::Mode::Create);
            copied = source.copyTo(copy, stop);
            // A copy of a file written ahead in a log would be one too, and its log and index
            // would stay beside it under the partial name: it is made a single file.
            if (copied)
                copy.exec("PRAGMA journal_mode=DELETE");
        }
        if (!copied) {
            giveUp();
            return false;
        }
        durable::sync(partial);
        if (const std::string problems = check(partial); !problems.empty())
            throw std::runtime_error(problems);
        durable::rename(partial, file);
    } catch (...) {
        giveUp();
        throw;
    }
    durable::fileOperations().close(held);
    return true;
}

// What backups killed part-way left, and that no backup under way holds: their ".partial"
// copies and the engine's files beside them.
void clearInterrupted(const std::string &folder, const std::string &stem)
{
    std::set<std::string> partials;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            const std::size_t at = name.rfind(".partial");
            if (name.starts_with(stem + "-") && at != std::string::npos)
                partials.insert(folder + "/" + name.substr(0, at + 8));
        }
        ::closedir(dir);
    }
    for (const std::string &partial : partials)
        durable::removeUnheld(partial, kBesideCopy);
}

} // namespace

std::string problemsOf(const std::string &path)
{
    try {
        Connection db = schema::open(path, Connection::Mode::ReadOnly);
        return integrityProblems(db);
    } catch (const StoreError &error) {
        return error.message();
    }
}

std::vector<std::string> list(const std::string &databasePath)
{
    const std::string folder = places::backupsFolder(databasePath);
    const std::regex named("^" +
                           std::regex_replace(places::stem(databasePath),
                                              std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                           R"(-\d{8}-\d{6}(-\d{1,9})?\.mdb$)");
    std::vector<std::string> found;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            if (std::regex_match(entry->d_name, named))
                found.push_back(folder + "/" + entry->d_name);
        ::closedir(dir);
    }
    // Two backups in the same second are told apart by "-2", "-3" after the time: those come
    // after the one without a number, in the order of their numbers.
    const auto order = [](const std::string &name) {
        static const std::regex numbered(R"(^(.*-\d{8}-\d{6})(?:-(\d{1,9}))?\.mdb$)");
        std::smatch parts;
        std::regex_match(name, parts, numbered);
        return std::make_pair(parts[1].str(), parts[2].matched ? std::stoll(parts[2].str()) : 1);
    };
    std::sort(found.begin(), found.end(),
              [&](const std::string &a, const std::string &b) { return order(a) < order(b); });
    return found;
}

Made make(const std::string &linkedPath, int keep, const std::atomic<bool> *stop)
{
    const std::string databasePath = places::databaseFile(linkedPath);
    Connection source = schema::open(databasePath, Connection::Mode::ReadOnly);
    const std::string folder = places::backupsFolder(databasePath);
    durable::makeFolder(folder, durable::folderModeFor(databasePath));
    const std::string timestamp = durable::timestamp();
    std::string file = places::backupFile(databasePath, timestamp, 1);
    for (int n = 2; exists(file); ++n)
        file = places::backupFile(databasePath, timestamp, n);
    const mode_t mode = durable::fileModeFor(databasePath);
    bool copied = false;
    try {
        // The copy holds every note: it is made with the database's own permissions before the
        // engine writes into it, and takes a backup's name only once it holds together.
        copied = copyVerified(source, file, mode, stop, problemsOf);
    } catch (const std::runtime_error &error) {
        if (dynamic_cast<const StoreError *>(&error))
            throw;
        throw std::runtime_error("The copy of " + databasePath +
                                 " did not pass its check, so no backup was made and the "
                                 "older ones are kept. The database may be damaged: " +
                                 error.what());
    }
    if (!copied)
        throw std::runtime_error("The backup was stopped.");
    // The history of the notes goes with them, copied and checked the same way, under the
    // backup's own date and time.
    if (exists(places::historyFile(databasePath))) {
        Connection historySource(places::historyFile(databasePath), Connection::Mode::ReadOnly);
        const auto historyProblems = [](const std::string &path) {
            Connection copy(path, Connection::Mode::ReadOnly);
            return integrityProblems(copy);
        };
        try {
            if (!copyVerified(historySource, places::historyBackupFile(databasePath, file), mode,
                              stop, historyProblems))
                throw std::runtime_error("The backup was stopped.");
        } catch (const std::exception &error) {
            throw std::runtime_error(
                "The notes were backed up to " + file +
                ", but the copy of their earlier versions failed: " + error.what());
        }
    }

    clearInterrupted(folder, places::stem(databasePath));

    Made made{file, {}};
    std::vector<std::string> all = list(databasePath);
    const std::size_t kept = static_cast<std::size_t>(std::max(keep, 1));
    for (std::size_t i = 0; i + kept < all.size(); ++i) {
        if (all[i] == file)
            continue;
        if (durable::remove(all[i])) {
            made.removed.push_back(all[i]);
            durable::remove(places::historyBackupFile(databasePath, all[i]));
        }
    }
    tightenCopies(databasePath);
    return made;
}

void tightenCopies(const std::string &databasePath)
{
    const mode_t mode = durable::fileModeFor(databasePath);
    // A folder takes its bits as a folder made beside the database would: those of a file
    // would take away the search bit from those who may read the database.
    const mode_t folderMode = durable::folderModeFor(databasePath);
    for (const std::string &folder :
         {places::backupsFolder(databasePath), places::deletedFolder(databasePath)}) {
        durable::tighten(folder, folderMode);
        if (DIR *dir = ::opendir(folder.c_str())) {
            while (const dirent *entry = ::readdir(dir))
                if (entry->d_name[0] != '.')
                    durable::tighten(folder + "/" + entry->d_name, mode);
            ::closedir(dir);
        }
    }
}

std::string newestHolding(const std::string &databasePath, const std::string &key,
                          const Value &note)
{
    const std::vector<std::string> all = list(databasePath);
    for (auto backup = all.rbegin(); backup != all.rend(); ++backup) {
        try {
            Connection db(*backup, Connection::Mode::ReadOnly);
            const std::optional<Value> held = noteWithKey(db, key);
            if (held && held->type() == note.type() && held->textView() == note.textView())
                return *backup;
        } catch (const StoreError &) {
            // A backup that cannot be read holds nothing we can name.
        }
    }
    return {};
}

bool due(const std::string &databasePath, std::chrono::system_clock::time_point now)
{
    const std::vector<std::string> all = list(databasePath);
    if (all.empty())
        return true;
    const long long newest = modified(all.back());
    constexpr long long kDay = 24LL * 3600 * 1000000000LL;
    const long long nowInNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    return nowInNs - newest >= kDay && modified(databasePath) > newest;
}

namespace {

// Copies the file a restore replaces to the name it is kept under, through a ".partial" name:
// a copy cut short never has the kept copy's name.
void keepCopy(const std::string &file, const std::string &kept, mode_t mode)
{
    const std::string partial = kept + ".partial";
    durable::copyFile(file, partial, mode);
    try {
        durable::rename(partial, kept);
    } catch (...) {
        durable::remove(partial);
        throw;
    }
}

// The earlier versions go back with the notes: the history copy made with the backup replaces
// the history file, the one it replaces kept beside it as the database's own is. A backup made
// before any version was kept has no copy: the restored notes then have no versions, and the
// history there is kept aside too, since its versions belong to rows the restore took away and
// whose IDs a new item would show them under.
void restoreHistory(const std::string &backupPath, const std::string &databasePath, mode_t mode)
{
    const std::string copy = places::historyBackupFile(databasePath, backupPath);
    const std::string history = places::historyFile(databasePath);
    const bool hasCopy = exists(copy);
    if (!hasCopy && !exists(history))
        return;
    if (exists(history)) {
        // Everything in its log goes into the file first, so that the file kept is whole.
        {
            Connection current(history, Connection::Mode::ReadWrite);
            current.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        }
        const std::string timestamp = durable::timestamp();
        std::string kept = history + ".before-restore-" + timestamp;
        for (int n = 2; exists(kept); ++n)
            kept = history + ".before-restore-" + timestamp + "-" + std::to_string(n);
        keepCopy(history, kept, mode);
    }
    if (!hasCopy) {
        durable::remove(history + "-wal");
        durable::remove(history + "-shm");
        durable::remove(history);
        durable::sync(places::historyFolder(databasePath));
        return;
    }
    durable::makeFolder(places::historyFolder(databasePath), durable::folderModeFor(databasePath));
    const std::string restoring = history + ".restoring";
    durable::remove(restoring);
    durable::copyFile(copy, restoring, mode);
    // The log beside the file being replaced belongs to it, not to the copy.
    durable::remove(history + "-wal");
    durable::remove(history + "-shm");
    durable::rename(restoring, history);
}

} // namespace

Restored restore(const std::string &backupPath, const std::string &linkedPath)
{
    // A link is followed: the file it points to is restored, in its own folder, and the link
    // stays a link.
    const std::string databasePath = places::databaseFile(linkedPath);
    if (const std::string problems = problemsOf(backupPath); !problems.empty())
        throw std::runtime_error(backupPath +
                                 " did not pass its check, so nothing was "
                                 "restored: " +
                                 problems);
    if (isInUse(databasePath))
        throw std::runtime_error("Quillet has " + databasePath +
                                 " open. Close it first; nothing was restored.");
    if (exists(databasePath + "-journal"))
        throw std::runtime_error("An interrupted change to " + databasePath +
                                 " still waits in its journal. Open the file with Quillet once, "
                                 "or run quillet-db check on it, then restore; nothing was "
                                 "restored.");
    // The restored file and the one kept both hold notes: each gets the replaced file's
    // permissions, and the restored one its owner too.
    const mode_t mode = durable::fileModeFor(databasePath);
    Restored done{databasePath, {}};
    if (exists(databasePath)) {
        const std::string timestamp = durable::timestamp();
        done.kept = places::beforeRestoreFile(databasePath, timestamp, 1);
        for (int n = 2; exists(done.kept); ++n)
            done.kept = places::beforeRestoreFile(databasePath, timestamp, n);
        keepCopy(databasePath, done.kept, mode);
    }
    const std::string restoring = places::restoringFile(databasePath);
    durable::remove(restoring);
    durable::copyFile(backupPath, restoring, mode);
    try {
        durable::takeOwnerOf(databasePath, restoring);
        durable::rename(restoring, databasePath);
    } catch (...) {
        durable::remove(restoring);
        throw;
    }
    restoreHistory(backupPath, databasePath, mode);
    return done;
}

} // namespace quillet::backups
