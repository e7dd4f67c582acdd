#include "session/NotesSession.h"

#include "keeping/Archive.h"
#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/MovesWithVersions.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "store/NoteSearch.h"
#include "store/NoteStore.h"
#include "store/QuickCheck.h"
#include "store/Schema.h"
#include "store/Settings.h"

#include <charconv>
#include <ctime>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillet {

NotesSession::NotesSession()
    : m_settings(std::make_unique<Settings>())
{
}

NotesSession::~NotesSession()
{
    close();
}

std::string NotesSession::databaseIn(const std::string &folder)
{
    return durable::resolved(folder + "/mydata.mdb");
}

void NotesSession::makeStarterIn(const std::string &folder)
{
    initInPrivateFolder(folder);
}

void NotesSession::makeStarter(const std::string &path)
{
    initDatabase(path);
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

bool NotesSession::isOpenElsewhere(const std::string &path)
{
    return isInUse(path);
}

void NotesSession::open(Access access)
{
    close();
    try {
        if (access == Access::Writing) {
            m_inUse = std::make_unique<InUseLock>(m_path);
            m_store = std::make_unique<NoteStore>(m_path);
        } else {
            m_store = std::make_unique<NoteStore>(m_path, NoteStore::Access::ReadOnly);
        }
    } catch (const DatabaseUnavailable &error) {
        close();
        throw NotesUnavailable(error.message(), error.code(), error.path());
    } catch (...) {
        close();
        throw;
    }
    m_history = std::make_unique<NoteHistory>(*m_store);
    m_history->pairWith(m_store->fileId());
    if (access == Access::Reading)
        return;
    // New IDs a crash left waiting are settled before this run makes a row that could take
    // one; a history that cannot be read now is said when versions are next kept.
    try {
        m_history->settleWaitingRenumbering();
    } catch (const HistoryUnavailable &) {
    }
}

void NotesSession::close()
{
    m_hasFileId = false;
    m_history.reset();
    m_store.reset();
    m_inUse.reset();
}

NoteHistory &NotesSession::history()
{
    if (!m_history)
        throw std::logic_error("The notes database is not open.");
    return *m_history;
}

void NotesSession::keepVersion(const std::string &storedKey, bool firstOfVisit, bool titleOnly)
{
    constexpr std::int64_t kTenMinutes = 10 * 60;
    const std::int64_t now = m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr));
    try {
        // A database made before databases had numbers gets its own with the first version
        // kept, and its history file, made before too, takes the same.
        if (!m_hasFileId) {
            if (store().fileId() == 0)
                history().adopt(store().giveFileId());
            m_hasFileId = true;
        }
        // Most saves keep nothing: they find the note's newest version by its ID without
        // reading the note itself.
        if (!firstOfVisit) {
            const std::optional<std::int64_t> id = store().idOf(storedKey);
            if (!id)
                return;
            const std::optional<std::int64_t> newest = history().newestKept(*id, titleOnly);
            if (newest && now - *newest < kTenMinutes)
                return;
        }
        if (const std::optional<StoredRow> row = store().readRow(storedKey))
            history().keep(*row, titleOnly, now);
        if (const std::string aside = history().takeSetAside(); !aside.empty())
            m_historyNotice = "The earlier versions kept beside " + m_path +
                              " were another database's, made before this one took its place. "
                              "They are set aside as " +
                              aside + ", and the versions of these notes are kept from now on.";
    } catch (const HistoryUnavailable &why) {
        if (!m_historyFailed)
            m_historyProblem = why.what();
        m_historyFailed = true;
    } catch (const StoreError &) {
        // The row cannot be read now: the save that follows meets the same and says it.
    }
}

bool NotesSession::restoreVersion(const std::string &storedKey, std::int64_t number)
{
    const std::optional<NoteVersion> version = history().version(number);
    if (!version || version->titleOnly)
        return false;
    keepVersion(storedKey, true, false);
    store().saveNoteValue(storedKey, version->row[3]);
    return true;
}

std::string NotesSession::takeHistoryProblem()
{
    return std::exchange(m_historyProblem, std::string());
}

std::string NotesSession::takeHistoryNotice()
{
    return std::exchange(m_historyNotice, std::string());
}

NoteStore &NotesSession::store()
{
    if (!m_store)
        throw std::logic_error("The notes database is not open.");
    return *m_store;
}

bool NotesSession::isReadOnly() const
{
    return m_store && m_store->isReadOnly();
}

void NotesSession::loadSettings()
{
    store().loadSettings(*m_settings);
}

void NotesSession::scanOutline(const std::function<void(const OutlineRow &)> &visit)
{
    store().scanOutline(visit);
}

std::optional<NoteRow> NotesSession::readNote(const std::string &storedKey)
{
    return store().readNote(storedKey);
}

std::vector<KeyedRow> NotesSession::subtreeRows(const std::string &key)
{
    return store().subtreeRows(key);
}

void NotesSession::addItem(const std::string &key, const std::string &title)
{
    store().insertItem(key, title);
}

void NotesSession::storeNote(const std::string &storedKey, const std::string &text)
{
    store().saveText(storedKey, text);
}

void NotesSession::rename(const std::string &storedKey, const std::string &title)
{
    store().rename(storedKey, title);
}

bool NotesSession::storeFormat(const std::string &storedKey, const NoteFormat &format)
{
    return store().saveFormat(storedKey, format);
}

std::function<SearchResults(const SearchRequest &, const std::atomic<bool> &)>
NotesSession::searcher() const
{
    return [path = m_path](const SearchRequest &request, const std::atomic<bool> &stop) {
        return searchNotes(path, request, stop);
    };
}

void NotesSession::readTables(const std::function<void(Connection &)> &walk)
{
    Connection &db = store().connection();
    db.exec("BEGIN");
    try {
        walk(db);
    } catch (...) {
        db.tryExec("ROLLBACK");
        throw;
    }
    db.exec("COMMIT");
}

void NotesSession::writeTables(const std::function<void(Connection &)> &walk)
{
    Connection &db = store().connection();
    Transaction transaction(db);
    walk(db);
    transaction.commit();
}

void NotesSession::writeArchive(std::ostream &out, bool withHistory)
{
    readTables(
        [&](Connection &db) { archive::write(db, out, withHistory ? &history() : nullptr); });
}

std::vector<std::string> NotesSession::historyProblems()
{
    return history().problems();
}

int NotesSession::pruneHistory(std::int64_t now)
{
    return history().prune(now);
}

std::optional<std::vector<VersionSummary>> NotesSession::versionsOf(const std::string &storedKey)
{
    const std::optional<std::int64_t> id = store().idOf(storedKey);
    if (!id)
        return std::nullopt;
    return history().summariesOf(*id);
}

std::optional<NoteVersion> NotesSession::version(std::int64_t number)
{
    return history().version(number);
}

WindowGeometry NotesSession::storedGeometry() const
{
    return {m_settings->at(1), m_settings->at(2), m_settings->at(3), m_settings->at(4)};
}

std::int32_t NotesSession::storedSelection() const
{
    return m_settings->at(5);
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

void NotesSession::storeWorkspace(const std::vector<bool> &expanded, const WindowGeometry &geometry,
                                  const std::string &selectedIndex)
{
    store().storeExpanded(expanded);
    Settings &settings = *m_settings;
    settings.at(1) = geometry.left;
    settings.at(2) = geometry.top;
    settings.at(3) = geometry.width;
    settings.at(4) = geometry.height;
    std::int32_t index = 0;
    const char *end = selectedIndex.data() + selectedIndex.size();
    const auto [stop, error] = std::from_chars(selectedIndex.data(), end, index);
    if (error != std::errc() || stop != end || index < -32768 || index > 32767)
        throw std::out_of_range("The selected item's index \"" + selectedIndex +
                                "\" is not a number from -32768 to 32767.");
    settings.at(5) = index;
    store().storeSettings(settings);
}

moves::Plan NotesSession::moveItem(const std::string &key, const moves::Place &place)
{
    return moving::move(store(), history(), key, place);
}

void NotesSession::undoMove(const moves::Plan &applied)
{
    moving::apply(store(), history(), moves::reverse(applied));
}

std::string NotesSession::deleteWithCopy(const std::string &key, const std::string &itemPath)
{
    // The rows go only once their copy is on the disk in deleted/, from where the deleted
    // items window, the undo and quillet-db undelete put them back.
    NoteStore &notes = store();
    std::string copy;
    notes.deleteSubtree(key, [&](const std::vector<StoredRow> &rows) {
        copy = deletions::keepCopy(notes.path(), key, rows, itemPath);
    });
    return copy;
}

std::vector<deletions::Copy> NotesSession::deletedCopies() const
{
    return deletions::listCopies(m_path);
}

deletions::Restored NotesSession::putBack(const std::string &copyPath,
                                          const std::optional<std::string> &under)
{
    return deletions::restore(store(), history(), copyPath, under);
}

} // namespace quillet
