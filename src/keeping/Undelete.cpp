#include "keeping/Deletions.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/Places.h"
#include "store/Keys.h"
#include "store/MovePlan.h"
#include "store/NoteStore.h"
#include "store/Schema.h"
#include "store/Tables.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <unordered_set>

// Putting the rows of a deletion's copy back: where they were, or under another item.

namespace quillet::deletions {

namespace {

// The rows as they go in, and the rows among them that take new IDs.
struct Plan
{
    std::vector<archive::Row> rows;
    std::vector<NoteHistory::Renumbered> renumbered;
    std::string key; // the restored item's
};

const std::string kNothing = "; nothing was put back.";

std::string keyOf(const archive::Row &row)
{
    const std::optional<std::string> key = row[1].toText();
    return key ? keys::trimSpaces(*key) : std::string();
}

// The deleted item's key: the shortest, as every other row of a copy lies below it.
std::string rootKeyOf(const std::vector<archive::Row> &rows)
{
    std::string root = keyOf(rows.front());
    for (const archive::Row &row : rows)
        if (keys::length(keyOf(row)) < keys::length(root))
            root = keyOf(row);
    return root;
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

archive::Contents readCopy(const std::string &copyPath)
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
    // Every key and ID once: the rows must be able to stand side by side.
    std::set<std::string> keys;
    std::set<std::int64_t> ids;
    for (const archive::Row &row : copy.rows) {
        const std::string key = keyOf(row);
        if (key.empty() || !keys.insert(key).second || !ids.insert(*row[0].integer()).second)
            throw std::runtime_error(copyPath + " holds two items with the key " + quoted(key) +
                                     " or the ID " + std::to_string(*row[0].integer()) +
                                     ", or an item without a key" + kNothing);
    }
    return copy;
}

std::string tooDeep(int levels)
{
    return "the items would lie " + std::to_string(levels) +
           " levels deep, and an outline goes at most " + std::to_string(keys::kMaxLevels) +
           " levels deep" + kNothing;
}

// Back where they were, with their own IDs and keys. The notes are not read, and only the rows
// whose keys or IDs bear on it: every key and ID must be free, and every parent outside the
// copy must be there, before its children in ID order. The first problem in key order is named.
Plan whereTheyWere(Connection &db, const std::vector<archive::Row> &rows,
                   const std::string &databasePath)
{
    // Looked up by the keys read below without copying them.
    std::map<std::string, std::int64_t, std::less<>> restored; // trimmed key to ID
    std::map<std::int64_t, std::string> keyOfId;
    for (const archive::Row &row : rows) {
        const std::string key = keyOf(row);
        if (keys::length(key) > keys::kMaxLevels)
            throw std::runtime_error("The copy holds the item " + quoted(key) + ": " +
                                     tooDeep(keys::length(key)));
        restored.emplace(key, *row[0].integer());
        keyOfId.emplace(*row[0].integer(), key);
    }
    std::map<std::string, std::int64_t, std::less<>>
        parents; // needed parent key to the lowest child ID
    for (const auto &[key, id] : restored) {
        const std::string parent = keys::parent(key);
        if (!parent.empty() && !restored.contains(parent)) {
            auto [at, added] = parents.emplace(parent, id);
            if (!added && id < at->second)
                at->second = id;
        }
    }
    std::string problem;
    std::size_t alreadyThere = 0; // rows with the copy's ID and key both
    std::set<std::string, std::less<>> found;
    std::string converted;
    // The copy's keys lie under its items' own keys: the items above the rest.
    std::vector<std::string> roots;
    for (const auto &[key, id] : restored)
        if (const std::string above = keys::parent(key); above.empty() || !restored.contains(above))
            roots.push_back(key);
    std::vector<std::string> parentKeys;
    for (const auto &[key, id] : parents)
        parentKeys.push_back(key);
    std::vector<std::int64_t> ids;
    for (const auto &[id, key] : keyOfId)
        ids.push_back(id);
    for (const auto &[id, storedKey] : rowsWithKeysOrIds(db, roots, parentKeys, ids)) {
        std::string_view key;
        if (const std::optional<std::string_view> text = storedKey.textView()) {
            key = keys::trimmedSpaces(*text);
        } else {
            converted = keys::trimSpaces(storedKey.toText().value_or(std::string()));
            key = converted;
        }
        if (const auto same = keyOfId.find(id); same != keyOfId.end() && same->second == key)
            ++alreadyThere;
        if (!problem.empty())
            continue;
        if (restored.contains(key))
            problem =
                "The key " + quoted(std::string(key)) + " is taken in " + databasePath + kNothing;
        else if (keyOfId.contains(id))
            problem = "The ID " + std::to_string(id) + " is taken in " + databasePath + kNothing;
        if (const auto parent = parents.find(key); parent != parents.end()) {
            if (id > parent->second && problem.empty())
                problem = "The item " + quoted(std::string(key)) +
                          " was made again after the deletion, so the items below it would not "
                          "show" +
                          kNothing;
            found.emplace(key);
        }
    }
    if (alreadyThere == rows.size())
        throw std::runtime_error("The items are in the outline already, with their own keys and "
                                 "IDs" +
                                 kNothing);
    if (!problem.empty())
        throw PlaceTaken(problem);
    for (const auto &[parent, id] : parents)
        if (!found.contains(parent))
            throw PlaceTaken("The item " + quoted(parent) + " that the items go under is not in " +
                             databasePath + kNothing);
    return Plan{rows, {}, rootKeyOf(rows)};
}

// As the last item under parent (empty: the top level), keys by the rule of adding.
Plan underItem(Connection &db, const std::vector<archive::Row> &copied, const std::string &parent)
{
    std::vector<archive::Row> rows = copied;
    std::sort(rows.begin(), rows.end(), [](const archive::Row &a, const archive::Row &b) {
        return *a[0].integer() < *b[0].integer();
    });
    // The copy holds the deleted item and rows below it only.
    const std::string root = rootKeyOf(rows);
    int deepest = 0;
    std::int64_t rootId = 0;
    for (const archive::Row &row : rows) {
        const std::string key = keyOf(row);
        if (!key.starts_with(root))
            throw std::runtime_error("The copy holds the items " + quoted(root) + " and " +
                                     quoted(key) + ", which is not below it" + kNothing);
        deepest = std::max(deepest, keys::length(key) - keys::length(root));
        if (key == root)
            rootId = *row[0].integer();
    }

    const std::vector<KeyedRow> outline = moves::keyedRows(db);
    std::int64_t parentId = 0;
    if (!parent.empty()) {
        const auto found = std::find_if(outline.begin(), outline.end(),
                                        [&](const KeyedRow &row) { return row.key == parent; });
        if (found == outline.end())
            throw std::runtime_error("No item has the key " + quoted(parent) + kNothing);
        parentId = found->id;
    }
    const std::optional<std::string> newRoot =
        moves::newChildKey(parent, moves::RowsShape(outline).numberedUnder(parent));
    if (!newRoot)
        throw std::runtime_error(parent.empty() ? "Every top-level key is taken" + kNothing
                                                : "The item " + quoted(parent) +
                                                      " holds nine items already" + kNothing);
    if (keys::length(*newRoot) + deepest > keys::kMaxLevels)
        throw std::runtime_error("Under " + (parent.empty() ? "the top level" : quoted(parent)) +
                                 " " + tooDeep(keys::length(*newRoot) + deepest));

    // The restored item goes last among its new siblings: its own IDs serve only when they are
    // free and its ID comes after the parent's and every sibling's.
    std::unordered_set<std::string> taken;
    std::int64_t lastSibling = parentId;
    for (const KeyedRow &row : outline) {
        taken.insert(row.key);
        if (keys::parent(row.key) == parent)
            lastSibling = std::max(lastSibling, row.id);
    }
    std::unordered_set<std::int64_t> copiedIds;
    std::int64_t lastId = 0;
    for (const archive::Row &row : rows) {
        copiedIds.insert(*row[0].integer());
        lastId = std::max(lastId, *row[0].integer());
    }
    bool idsFree = rootId > lastSibling;
    forEachKey(db, [&](std::int64_t id, const Value &) {
        idsFree = idsFree && !copiedIds.contains(id);
        lastId = std::max(lastId, id);
    });
    lastId = std::max(lastId, lastRowId(db).value_or(0));

    Plan plan;
    plan.key = *newRoot;
    for (archive::Row &row : rows) {
        const std::string key = *newRoot + keyOf(row).substr(root.size());
        if (taken.contains(key))
            throw std::runtime_error("The key " + quoted(key) +
                                     " is taken by a row the outline leaves out" + kNothing);
        const std::int64_t oldId = *row[0].integer();
        if (!idsFree) {
            // In the copy's ID order, so that the rows keep their order among themselves.
            row[0].setInteger(++lastId);
            plan.renumbered.push_back({oldId, lastId, key});
        }
        row[1].setText(key);
        plan.rows.push_back(row);
    }
    return plan;
}

// Writes the plan in one transaction; the planning reads in it too, so that nothing changes
// between. Versions that cannot follow stay under IDs no row takes again.
void putBack(Connection &db, NoteHistory *history, const std::function<Plan()> &makePlan,
             Plan &plan)
{
    bool following = false;
    try {
        Transaction transaction(db);
        plan = makePlan();
        if (history && !plan.renumbered.empty()) {
            try {
                following = history->beginRenumbering(plan.renumbered);
            } catch (const HistoryUnavailable &) {
            }
        }
        insertRows(db, plan.rows);
        transaction.commit();
    } catch (...) {
        if (following) {
            try {
                history->dropRenumbering();
            } catch (const HistoryUnavailable &) {
                // Dropped when the history is next opened: the notes do not hold the new IDs.
            }
        }
        throw;
    }
    if (following) {
        try {
            history->finishRenumbering();
        } catch (const HistoryUnavailable &) {
            // Finished when the history is next opened.
        }
    }
}

// Renames the copy to say its items are back, so that it leaves the list and is never put
// back twice; a name taken is never replaced.
std::string markRestored(const std::string &copyPath)
{
    for (int n = 1; n <= 1000; ++n) {
        const std::string kept = places::restoredCopyFile(copyPath, n);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(kept, error))) {
            durable::rename(copyPath, kept);
            return kept;
        }
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists),
                            "Every name for the copy once put back is taken beside " + copyPath);
}

} // namespace

Restored restore(NoteStore &store, NoteHistory &history, const std::string &copyPath,
                 const std::optional<std::string> &under)
{
    const archive::Contents copy = readCopy(copyPath);
    Connection &db = store.connection();
    Plan plan;
    putBack(
        db, &history,
        [&] {
            return under ? underItem(db, copy.rows, keys::trimSpaces(*under))
                         : whereTheyWere(db, copy.rows, store.path());
        },
        plan);
    Restored done{plan.rows.size(), plan.key, !plan.renumbered.empty(), {}, {}, {}};
    for (const archive::Row &row : plan.rows)
        done.rows.push_back(OutlineRow{*row[0].integer(), row[1], row[2], row[4]});
    std::sort(done.rows.begin(), done.rows.end(),
              [](const OutlineRow &a, const OutlineRow &b) { return a.id < b.id; });
    try {
        done.keptAs = markRestored(copyPath);
    } catch (const std::system_error &error) {
        done.copyProblem = error.what();
    }
    return done;
}

int undelete(const std::string &copyPath, const std::string &databasePath)
{
    const archive::Contents copy = readCopy(copyPath);
    if (isInUse(databasePath))
        throw std::runtime_error("Quillet has " + databasePath +
                                 " open. Close it first; nothing was put back.");
    Connection db = schema::open(databasePath, Connection::Mode::ReadWrite);
    db.useDurableCommits();
    Plan plan;
    putBack(
        db, nullptr, [&] { return whereTheyWere(db, copy.rows, databasePath); }, plan);
    return static_cast<int>(plan.rows.size());
}

} // namespace quillet::deletions
