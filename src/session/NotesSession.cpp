#include "session/NotesSession.h"

#include "keeping/Archive.h"
#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/MovesWithVersions.h"
#include "store/NoteSearch.h"
#include "store/NoteStore.h"
#include "store/OutlineChange.h"
#include "store/Settings.h"

#include <charconv>
#include <ctime>
#include <stdexcept>
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

OutlineChange NotesSession::addItem(const std::string &key, const std::string &title)
{
    const std::int64_t id = store().insertItem(key, title);
    // As the outline reads the row: the key and title as given, closed.
    return OutlineChange::addedRows(
        {OutlineRow{id, Value::text(key), Value::text(title), Value::integer(0)}});
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

std::string NotesSession::deleteWithCopy(const std::string &key, const std::string &itemPath,
                                         OutlineChange *taken)
{
    // The rows go only once their copy is on the disk in deleted/, from where the deleted
    // items window, the undo and quillet-db undelete put them back.
    NoteStore &notes = store();
    std::string copy;
    notes.deleteSubtree(key, [&](const std::vector<StoredRow> &rows) {
        copy = deletions::keepCopy(notes.path(), key, rows, itemPath);
        if (taken)
            for (const StoredRow &row : rows)
                taken->removed.push_back(row[0].integer().value_or(0));
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
