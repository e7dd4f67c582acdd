#include "faults/crash/StoreModel.h"

#include "keeping/Archive.h"
#include "keeping/Backups.h"
#include "keeping/History.h"
#include "store/NoteStore.h"
#include "support/FileHistory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quillet::crashtest {

namespace {

// The store compares keys without their surrounding spaces; the writer's keys have none.
bool inSubtree(const std::string &key, const std::string &top)
{
    return key.starts_with(top);
}

// The key less its last character (a UTF-8 code point); empty for a top-level key.
std::string parentOf(const std::string &key)
{
    std::size_t last = key.size();
    while (last > 0 && (static_cast<unsigned char>(key[last - 1]) & 0xC0) == 0x80)
        --last;
    return key.substr(0, last > 0 ? last - 1 : 0);
}

// A move, in the model's terms: rows stand in ID order, so a row's place in the list stands
// for its ID. Siblings are ordered by ID and a parent's row comes before its children's; the
// siblings from the first that would break that order (the moved item among them) take new
// IDs, above every other, in their new order, each with its subtree, and so go to the end.
std::optional<StoreState> moved(StoreState state, const Write &write)
{
    std::vector<RowState> &rows = state.rows;
    const auto position = [&](const std::string &key) {
        return static_cast<std::size_t>(
            std::find_if(rows.begin(), rows.end(),
                         [&](const RowState &r) { return r.key == key; }) -
            rows.begin());
    };
    const std::string parent = write.place == Write::Place::Under ? write.placeKey
                               : write.place == Write::Place::Top ? std::string()
                                                                  : parentOf(write.placeKey);
    const auto moving = [&](const RowState &r) {
        return inSubtree(r.key, write.key);
    };
    if (write.key == "A" || position(write.key) == rows.size() ||
        (!parent.empty() && (position(parent) == rows.size() || inSubtree(parent, write.key))) ||
        (write.place != Write::Place::Top && position(write.placeKey) == rows.size()) ||
        parentOf(write.newKey) != parent)
        return std::nullopt;
    for (const RowState &row : rows)
        if (!moving(row) && inSubtree(row.key, write.newKey))
            return std::nullopt;

    constexpr std::size_t kMoved = static_cast<std::size_t>(-1);
    std::vector<std::size_t> order; // the new parent's children, by place in the list
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!moving(rows[r]) && parentOf(rows[r].key) == parent)
            order.push_back(r);
    auto at = order.end();
    if (write.place == Write::Place::Before || write.place == Write::Place::After) {
        at = std::find(order.begin(), order.end(), position(write.placeKey));
        if (write.place == Write::Place::After && at != order.end())
            ++at;
    }
    order.insert(at, kMoved);
    std::size_t kept = 0;
    for (long long previous = parent.empty() ? -1 : static_cast<long long>(position(parent));
         kept < order.size(); ++kept) {
        const auto id =
            static_cast<long long>(order[kept] == kMoved ? position(write.key) : order[kept]);
        if (id <= previous)
            break;
        previous = id;
    }
    std::vector<bool> last(rows.size());
    std::vector<std::size_t> lastOrder;
    for (std::size_t o = kept; o < order.size(); ++o)
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (order[o] == kMoved
                    ? moving(rows[r])
                    : !moving(rows[r]) && inSubtree(rows[r].key, rows[order[o]].key)) {
                last[r] = true;
                lastOrder.push_back(r);
            }
    for (RowState &row : rows)
        if (moving(row))
            row.key = write.newKey + row.key.substr(write.key.size());
    std::vector<RowState> after;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!last[r])
            after.push_back(rows[r]);
    for (std::size_t r : lastOrder)
        after.push_back(rows[r]);
    rows = std::move(after);
    return state;
}

} // namespace

std::optional<StoreState> applied(StoreState state, const Write &write)
{
    auto row = std::find_if(state.rows.begin(), state.rows.end(),
                            [&](const RowState &r) { return r.key == write.key; });
    switch (write.kind) {
    case Write::Kind::Text:
        if (row == state.rows.end())
            return std::nullopt;
        row->text = textDigest(write.textSize, write.textHash);
        return state;
    case Write::Kind::Add:
        if (row != state.rows.end())
            return std::nullopt;
        state.rows.push_back(RowState{write.key, write.title, textDigest(""), 0});
        return state;
    case Write::Kind::Delete:
        if (row == state.rows.end())
            return std::nullopt;
        std::erase_if(state.rows, [&](const RowState &r) { return inSubtree(r.key, write.key); });
        return state;
    case Write::Kind::Expanded:
        if (write.flags.size() != state.rows.size())
            return std::nullopt;
        for (std::size_t i = 0; i < state.rows.size(); ++i)
            state.rows[i].expanded = write.flags[i] ? 1 : 0;
        return state;
    case Write::Kind::Settings:
        state.settings = write.settings;
        return state;
    case Write::Kind::Backup:
        return state;
    case Write::Kind::Move:
        return moved(std::move(state), write);
    case Write::Kind::Undelete:
        // The rows come back under the item (or at the top level) with new keys and IDs above
        // every other, in the copy's order.
        if ((!write.placeKey.empty() &&
             std::none_of(state.rows.begin(), state.rows.end(),
                          [&](const RowState &r) { return r.key == write.placeKey; })) ||
            parentOf(write.newKey) != write.placeKey ||
            std::any_of(state.rows.begin(), state.rows.end(),
                        [&](const RowState &r) { return inSubtree(r.key, write.newKey); }))
            return std::nullopt;
        for (const Write::Row &back : write.rows) {
            if (!inSubtree(back.key, write.newKey))
                return std::nullopt;
            state.rows.push_back(RowState{back.key, back.title, back.text, back.expanded});
        }
        return state;
    }
    return std::nullopt;
}

StoreState untouchedBy(StoreState state, const Write &write)
{
    switch (write.kind) {
    case Write::Kind::Text:
        for (RowState &row : state.rows)
            if (row.key == write.key)
                row.text.clear();
        break;
    case Write::Kind::Add:
        std::erase_if(state.rows, [&](const RowState &r) { return r.key == write.key; });
        break;
    case Write::Kind::Delete:
        std::erase_if(state.rows, [&](const RowState &r) { return inSubtree(r.key, write.key); });
        break;
    case Write::Kind::Expanded:
        for (RowState &row : state.rows)
            row.expanded = 0;
        break;
    case Write::Kind::Settings:
        state.settings.fill(0);
        break;
    case Write::Kind::Backup:
        break;
    case Write::Kind::Move: {
        // Every row that may take a new key or ID: the moved ones, and the subtrees of the
        // siblings at the place; the rest keep their order.
        const std::string parent = write.place == Write::Place::Under ? write.placeKey
                                   : write.place == Write::Place::Top ? std::string()
                                                                      : parentOf(write.placeKey);
        std::erase_if(state.rows, [&](const RowState &r) {
            return inSubtree(r.key, write.key) || inSubtree(r.key, write.newKey) ||
                   (r.key.starts_with(parent) && r.key.size() > parent.size());
        });
        break;
    }
    case Write::Kind::Undelete:
        std::erase_if(state.rows,
                      [&](const RowState &r) { return inSubtree(r.key, write.newKey); });
        break;
    }
    return state;
}

std::string shown(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return "\"" + out + "\"";
}

static std::string describeRow(const RowState &row)
{
    return "{key " + shown(row.key) + ", title " + shown(row.title) + ", text " + row.text +
           ", expanded " + std::to_string(row.expanded) + "}";
}

std::string differences(const StoreState &expected, const StoreState &found)
{
    std::string out;
    int listed = 0;
    auto note = [&](const std::string &line) {
        if (listed++ < 6)
            out += "\n    " + line;
    };
    if (expected.rows.size() != found.rows.size())
        note("rows: expected " + std::to_string(expected.rows.size()) + ", found " +
             std::to_string(found.rows.size()));
    const std::size_t common = std::min(expected.rows.size(), found.rows.size());
    for (std::size_t i = 0; i < common; ++i)
        if (!(expected.rows[i] == found.rows[i]))
            note("row " + std::to_string(i + 1) + ": expected " + describeRow(expected.rows[i]) +
                 ", found " + describeRow(found.rows[i]));
    for (std::size_t i = common; i < expected.rows.size(); ++i)
        note("row " + std::to_string(i + 1) + " missing: " + describeRow(expected.rows[i]));
    for (std::size_t i = common; i < found.rows.size(); ++i)
        note("row " + std::to_string(i + 1) + " extra: " + describeRow(found.rows[i]));
    if (expected.settingsRows != found.settingsRows)
        note("settings rows: expected " + std::to_string(expected.settingsRows) + ", found " +
             std::to_string(found.settingsRows));
    for (std::size_t i = 0; i < expected.settings.size(); ++i)
        if (expected.settings[i] != found.settings[i])
            note("setting " + std::to_string(i + 1) + ": expected " +
                 std::to_string(expected.settings[i]) + ", found " +
                 std::to_string(found.settings[i]));
    if (listed > 6)
        out += "\n    ... " + std::to_string(listed - 6) + " more";
    return out.empty() ? "\n    (none)" : out;
}

std::string integrityCheck(Connection &connection)
{
    Statement check(connection, "PRAGMA integrity_check");
    std::string result;
    while (check.step())
        result += (result.empty() ? "" : "; ") + check.columnText(0);
    return result;
}

StoreState readState(NoteStore &store)
{
    StoreState state;
    store.scanOutline([&](const OutlineRow &row) {
        state.rows.push_back(RowState{row.key.toText().value_or("(Null)"),
                                      row.title.toText().value_or("(Null)"),
                                      {},
                                      row.expanded.toInt32().value_or(-1)});
    });
    for (RowState &row : state.rows) {
        const std::optional<NoteRow> note = store.readNote(row.key);
        const std::optional<std::string> text = note ? note->text.toText() : std::nullopt;
        row.text = text ? textDigest(*text) : "Null";
    }
    Settings settings;
    store.loadSettings(settings);
    for (int position = 1; position <= Settings::kCount; ++position)
        state.settings[static_cast<std::size_t>(position - 1)] = settings.at(position);
    Statement count(store.connection(), "SELECT count(*) FROM parame");
    count.step();
    state.settingsRows = count.columnInt64(0);
    return state;
}

std::vector<RowVersions> versionsShown(const std::string &databasePath)
{
    std::vector<RowVersions> rows;
    {
        NoteStore store(databasePath);
        store.scanOutline([&](const OutlineRow &row) {
            rows.push_back({row.key.toText().value_or(""), row.id, {}, {}});
        });
        for (RowVersions &row : rows)
            if (const std::optional<NoteRow> note = store.readNote(row.key))
                row.tag = noteTag(note->text.textView().value_or(""));
    }
    test::FileHistory history(databasePath);
    for (RowVersions &row : rows)
        for (const NoteVersion &version : history.versionsOf(row.id))
            row.shownTags.push_back(noteTag(version.row[3].textView().value_or("")));
    return rows;
}

std::vector<std::string> strayVersions(const std::vector<RowVersions> &rows)
{
    std::vector<std::string> stray;
    for (const RowVersions &row : rows)
        for (const std::string &tag : row.shownTags)
            if (tag.empty() || tag != row.tag)
                stray.push_back("the note " + shown(row.key) + " (ID " + std::to_string(row.id) +
                                ", " + (row.tag.empty() ? std::string("never saved") : row.tag) +
                                ") shows a version of " +
                                (tag.empty() ? std::string("a note without a tag") : tag));
    return stray;
}

std::string versionProblems(const std::vector<RowVersions> &rows,
                            std::map<std::string, std::size_t> &versionsOf)
{
    if (const std::vector<std::string> stray = strayVersions(rows); !stray.empty())
        return "a version under another note: " + stray.front();
    for (const RowVersions &row : rows) {
        const auto own = static_cast<std::size_t>(
            std::count(row.shownTags.begin(), row.shownTags.end(), row.tag));
        if (row.tag.empty())
            continue;
        if (const auto before = versionsOf.find(row.tag);
            before != versionsOf.end() && own < before->second)
            return "the note " + shown(row.key) + " " + row.tag + " shows " + std::to_string(own) +
                   " versions, " + std::to_string(before->second) + " before";
        versionsOf[row.tag] = own;
    }
    return {};
}

std::vector<std::string> deletionCopies(const std::string &databasePath)
{
    std::vector<std::string> copies;
    const std::filesystem::path deleted =
        std::filesystem::path(databasePath).parent_path() / "deleted";
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(deleted, error))
        if (entry.path().extension() == ".json")
            copies.push_back(entry.path().string());
    std::sort(copies.begin(), copies.end());
    return copies;
}

std::string deletionCopyProblem(const std::string &copy)
{
    std::ifstream in(copy, std::ios::binary);
    try {
        if (archive::read(in).rows.empty())
            return "the deletion copy " + copy + " holds no rows";
    } catch (const std::exception &error) {
        return "the deletion copy " + copy + " cannot be read: " + error.what();
    }
    return {};
}

std::string sideFileProblems(const std::string &path, long long deletionsDone,
                             std::set<std::string> &copiesRead, SideFileCounts &counts)
{
    for (const std::string &backup : backups::list(path)) {
        if (const std::string problems = backups::problemsOf(backup); !problems.empty())
            return "the backup " + backup + " does not pass its check: " + problems;
        ++counts.backups;
    }
    for (const std::string &copy : deletionCopies(path)) {
        if (copiesRead.contains(copy))
            continue;
        if (const std::string problem = deletionCopyProblem(copy); !problem.empty())
            return problem;
        copiesRead.insert(copy);
        ++counts.deletionCopies;
    }
    if (static_cast<long long>(copiesRead.size()) < deletionsDone)
        return std::to_string(deletionsDone) + " deletions were made but only " +
               std::to_string(copiesRead.size()) + " copies were kept";
    return {};
}

} // namespace quillet::crashtest
