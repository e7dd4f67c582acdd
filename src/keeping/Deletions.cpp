#include "keeping/Deletions.h"

#include "keeping/Backups.h"
#include "keeping/DurableFiles.h"
#include "keeping/InUseLock.h"
#include "keeping/Places.h"
#include "store/Keys.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/Tables.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace quillet::deletions {

namespace {

std::string keyOf(const archive::Row &row)
{
    const std::optional<std::string> key = row[1].toText();
    return key ? keys::trimSpaces(*key) : std::string();
}

} // namespace

std::string keepCopy(const std::string &databasePath, std::string_view key,
                     const std::vector<archive::Row> &rows)
{
    // Beside the file a link points to, with the database's own permissions: the copy holds
    // the notes that were deleted.
    durable::makeFolder(places::deletedFolder(databasePath), durable::folderModeFor(databasePath));
    std::ostringstream content;
    archive::writeRows(rows, content);
    const std::string timestamp = durable::timestamp();
    std::string file = places::deletionCopyFile(databasePath, timestamp, key, 1);
    for (int n = 2;; ++n) {
        try {
            durable::writeFile(file, content.str(), durable::fileModeFor(databasePath));
            return file;
        } catch (const std::system_error &error) {
            // Two deletions in the same second: the second copy takes the next number.
            if (error.code() != std::errc::file_exists || n > 1000)
                throw;
        }
        file = places::deletionCopyFile(databasePath, timestamp, key, n);
    }
}

int undelete(const std::string &copyPath, const std::string &databasePath)
{
    std::ifstream in(copyPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot open " + copyPath + ".");
    archive::Contents copy;
    try {
        copy = archive::read(in);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(copyPath + " cannot be read: " + error.what() + ".");
    }
    if (copy.rows.empty())
        throw std::runtime_error(copyPath + " holds no items.");
    if (isInUse(databasePath))
        throw std::runtime_error("Quillet has " + databasePath +
                                 " open. Close it first; nothing was put back.");

    // The rows' keys and IDs, and the parents they need from the database.
    std::map<std::string, std::int64_t> restored; // trimmed key to ID
    std::set<std::int64_t> ids;
    for (const archive::Row &row : copy.rows) {
        const std::string key = keyOf(row);
        if (keys::length(key) > keys::kMaxLevels)
            throw std::runtime_error(
                copyPath + " holds the item \"" + key + "\", " + std::to_string(keys::length(key)) +
                " levels deep, and an outline goes at most " + std::to_string(keys::kMaxLevels) +
                " levels deep; nothing was put back.");
        if (key.empty() || !restored.emplace(key, *row[0].integer()).second ||
            !ids.insert(*row[0].integer()).second)
            throw std::runtime_error(copyPath + " holds two items with the key \"" + key +
                                     "\" or the ID " + std::to_string(*row[0].integer()) +
                                     ", or an item without a key; nothing was put back.");
    }
    std::map<std::string, std::int64_t> parents; // needed parent key to the lowest child ID
    for (const auto &[key, id] : restored) {
        const std::string parent = keys::parent(key);
        if (!parent.empty() && !restored.contains(parent)) {
            auto [at, added] = parents.emplace(parent, id);
            if (!added && id < at->second)
                at->second = id;
        }
    }

    Connection db = schema::open(databasePath, Connection::Mode::ReadWrite);
    db.useDurableCommits();
    Transaction transaction(db);
    // One pass over the keys and IDs (the notes are not read): every key and ID must be free,
    // and every parent outside the copy must be there, before its children in ID order.
    std::set<std::string> found;
    forEachKey(db, [&](std::int64_t id, const Value &storedKey) {
        const std::optional<std::string> stored = storedKey.toText();
        const std::string key = stored ? keys::trimSpaces(*stored) : std::string();
        if (restored.contains(key))
            throw std::runtime_error("The key \"" + key + "\" is taken in " + databasePath +
                                     "; nothing was put back.");
        if (ids.contains(id))
            throw std::runtime_error("The ID " + std::to_string(id) + " is taken in " +
                                     databasePath + "; nothing was put back.");
        if (const auto parent = parents.find(key); parent != parents.end()) {
            if (id > parent->second)
                throw std::runtime_error("The item \"" + key +
                                         "\" was made again after the "
                                         "deletion, so the items below it would not show; "
                                         "nothing was put back.");
            found.insert(key);
        }
    });
    for (const auto &[parent, id] : parents)
        if (!found.contains(parent))
            throw std::runtime_error("The item \"" + parent +
                                     "\" that the items go under is not in " + databasePath +
                                     "; nothing was put back.");

    insertRows(db, copy.rows);
    transaction.commit();
    return static_cast<int>(copy.rows.size());
}

} // namespace quillet::deletions
