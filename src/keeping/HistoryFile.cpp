#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "store/Schema.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

// The history file itself: where it is, the database it serves, and setting aside one that
// serves another. The versions in it are read and written in History.cpp.

namespace quillet {

namespace {

constexpr const char *kSchema =
    "CREATE TABLE IF NOT EXISTS versions ("
    " number INTEGER PRIMARY KEY AUTOINCREMENT,"
    " noteId INTEGER NOT NULL,"
    " titleOnly INTEGER NOT NULL,"
    " keptAt INTEGER NOT NULL,"
    " Kleidi, MyText, Keimeno, anoixto, MegFonta, Grammatoseira, XromaFont, XromaBack,"
    " FontaBold, FontaPlagia);"
    "CREATE INDEX IF NOT EXISTS versionsOfNote ON versions (noteId, titleOnly, keptAt)";

} // namespace

NoteHistory::NoteHistory(NoteStore &notes)
    : NoteHistory(notes.path(), notes.connection())
{
}

NoteHistory::NoteHistory(std::string databasePath, Connection &notes)
    : m_databasePath(std::move(databasePath))
    , m_notes(notes)
{
}

NoteHistory::~NoteHistory() = default;

bool NoteHistory::exists() const
{
    struct stat info
    {
    };
    return ::stat(places::historyFile(m_databasePath).c_str(), &info) == 0;
}

namespace {

// The number of the database a history file serves: 0 for a file made before databases had
// numbers; nothing for a file in which nothing was ever kept, which serves whoever keeps
// something first.
std::optional<std::int32_t> servedBy(Connection &db)
{
    Statement table(db, "SELECT count(*) FROM sqlite_master WHERE name='versions'");
    if (!table.step() || table.columnInt64(0) == 0)
        return std::nullopt;
    return schema::fileIdOf(db);
}

std::unique_ptr<Connection> connect(const std::string &file)
{
    auto db = std::make_unique<Connection>(file, Connection::Mode::ReadWrite);
    db->setBusyTimeout(0);
    db->exec("PRAGMA journal_mode=WAL");
    db->exec("PRAGMA synchronous=NORMAL");
    return db;
}

} // namespace

void NoteHistory::unavailable(const StoreError &error, bool writing) const
{
    throw HistoryUnavailable(
        std::string(writing ? "Writing" : "Reading") + " the earlier versions of the notes in " +
        places::historyFile(m_databasePath) + " failed: " + plainCause(error.code()));
}

void NoteHistory::pairWith(std::int32_t databaseId)
{
    if (m_databaseId != databaseId)
        m_db.reset();
    m_databaseId = databaseId;
    m_foreign = false;
}

void NoteHistory::adopt(std::int32_t databaseId)
{
    pairWith(databaseId);
    if (!exists())
        return;
    try {
        std::unique_ptr<Connection> db = connect(places::historyFile(m_databasePath));
        Transaction transaction(*db);
        if (servedBy(*db) == 0)
            schema::setFileId(*db, databaseId);
        transaction.commit();
    } catch (const StoreError &error) {
        unavailable(error, true);
    }
}

std::string NoteHistory::takeSetAside()
{
    return std::exchange(m_setAside, std::string());
}

std::int32_t NoteHistory::databaseId()
{
    if (!m_databaseId) {
        try {
            m_databaseId = schema::fileIdOf(m_notes);
        } catch (const StoreError &) {
            // Whoever opens the database meets this and says it; no version is shown meanwhile.
            return -1;
        }
    }
    return *m_databaseId;
}

void NoteHistory::setAside(const std::string &file)
{
    const std::string timestamp = durable::timestamp();
    std::string aside = places::asideHistoryFile(m_databasePath, timestamp, 1);
    struct stat info
    {
    };
    for (int n = 2; ::lstat(aside.c_str(), &info) == 0; ++n)
        aside = places::asideHistoryFile(m_databasePath, timestamp, n);
    try {
        // A log left beside it belongs to it, and goes with it under its new name.
        if (::lstat((file + "-wal").c_str(), &info) == 0)
            durable::rename(file + "-wal", aside + "-wal");
        durable::remove(file + "-shm");
        durable::rename(file, aside);
    } catch (const std::system_error &error) {
        throw HistoryUnavailable(error.what());
    }
    m_setAside = aside;
}

Connection *NoteHistory::open(bool create)
{
    if (m_db)
        return m_db.get();
    if (m_foreign && !create)
        return nullptr;
    const std::string file = places::historyFile(m_databasePath);
    const std::int32_t owner = databaseId();
    if (owner < 0)
        return nullptr;
    if (exists()) {
        try {
            std::unique_ptr<Connection> db = connect(file);
            const std::optional<std::int32_t> served = servedBy(*db);
            if (!served && !create)
                return nullptr;
            if (served == owner) {
                settleRenumbering(*db);
                m_db = std::move(db);
                return m_db.get();
            }
            if (!served) {
                Transaction transaction(*db);
                db->exec(kSchema);
                schema::setFileId(*db, owner);
                transaction.commit();
                m_db = std::move(db);
                return m_db.get();
            }
        } catch (const StoreError &error) {
            unavailable(error, create);
        }
        // Another database's versions: never shown or kept under these notes.
        m_foreign = true;
        if (!create)
            return nullptr;
        setAside(file);
        m_foreign = false;
    } else if (!create) {
        return nullptr;
    }
    // Made with the database's own permissions before the engine writes into it: it holds
    // notes.
    try {
        durable::makeFolder(places::historyFolder(m_databasePath),
                            durable::folderModeFor(m_databasePath));
        durable::createFile(file, durable::fileModeFor(m_databasePath));
    } catch (const std::system_error &error) {
        throw HistoryUnavailable(error.what());
    }
    try {
        std::unique_ptr<Connection> db = connect(file);
        Transaction transaction(*db);
        db->exec(kSchema);
        schema::setFileId(*db, owner);
        transaction.commit();
        m_db = std::move(db);
    } catch (const StoreError &error) {
        unavailable(error, true);
    }
    return m_db.get();
}

std::vector<std::string> NoteHistory::problems()
{
    std::vector<std::string> found;
    if (!exists())
        return found;
    const std::string file = places::historyFile(m_databasePath);
    try {
        Connection db(file, Connection::Mode::ReadOnly);
        Statement check(db, "PRAGMA integrity_check(20)");
        while (check.step())
            if (const std::string line = check.columnText(0); line != "ok")
                found.push_back(file + ": integrity_check: " + line);
        if (!found.empty())
            return found;
        const std::optional<std::int32_t> served = servedBy(db);
        const std::int32_t owner = databaseId();
        if (served && *served != owner)
            found.push_back(file +
                            ": the earlier versions it holds are another database's (it "
                            "serves database number " +
                            std::to_string(*served) + ", this one is number " +
                            std::to_string(owner) +
                            "); Quillet shows none of them, and sets the file aside when it "
                            "next keeps a version.");
    } catch (const StoreError &error) {
        // A write cut short, which the program undoes when it next keeps a version, is no
        // damage; a look that may not write just cannot see past it.
        if (!error.waitsForRollback())
            found.push_back(file + ": the file of earlier versions cannot be read: " +
                            plainCause(error.code()));
    }
    return found;
}

} // namespace quillet
