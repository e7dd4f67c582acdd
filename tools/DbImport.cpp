#include "keeping/Archive.h"
#include "store/OutlineRowCheck.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "tools/DbTool.h"
#include "tools/NewDatabase.h"

#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

namespace quillet::dbtool {

namespace {

// Every reason the rows cannot make an outline the program loads whole, first ten named.
void checkRows(const archive::Contents &contents)
{
    OutlineRowCheck rowCheck;
    struct Found
    {
        std::int64_t id;
        CheckedRow checked;
        std::optional<RowProblem> problem; // nothing: the rows are not in ID order
        OutlineRow row;
    };
    std::vector<Found> found;
    std::optional<std::int64_t> previousId;
    for (const archive::Row &stored : contents.rows) {
        const std::int64_t id = *stored[0].integer();
        const OutlineRow row{id, stored[1], stored[2], stored[4]};
        const CheckedRow checked = rowCheck.check(row);
        if (previousId && id <= *previousId)
            found.push_back({id, checked, std::nullopt, {}});
        previousId = id;
        for (const RowProblem problem : checked.problems)
            found.push_back({id, checked, problem, row});
    }
    // Said once every row is checked: where a parent is is known only then.
    std::string problems;
    for (std::size_t i = 0; i < found.size() && i < 10; ++i) {
        const Found &f = found[i];
        const std::string &other =
            f.problem == RowProblem::ParentNotBefore ? f.checked.parentKey : f.checked.key;
        problems += "\n  ID " + std::to_string(f.id) + ", key \"" + f.checked.key + "\": " +
                    (f.problem ? describe(*f.problem, f.row, f.checked, rowCheck.firstIdOf(other))
                               : "the rows are not in ID order");
    }
    if (found.size() > 10)
        problems += "\n  and " + std::to_string(found.size() - 10) + " more";
    if (!found.empty())
        throw std::runtime_error("the rows do not make an outline; nothing was imported:" +
                                 problems);
    if (contents.settings.empty() ||
        contents.settings.size() > static_cast<std::size_t>(Settings::kCount))
        throw std::runtime_error("it holds " + std::to_string(contents.settings.size()) +
                                 " settings rows, where a notes database has 1 to 30; nothing "
                                 "was imported");
    // The program adds items beside or below a selected one: an outline without its first
    // item "A" would show nothing to add to.
    if (!rowCheck.firstIdOf("A"))
        throw std::runtime_error("no row has the key \"A\", the outline's first item, so the "
                                 "program could add no items to it; nothing was imported");
}

void fill(Connection &db, const archive::Contents &contents)
{
    insertRows(db, contents.rows);
    Statement setting(db, "INSERT INTO parame (ID, timilo) VALUES (?, ?)");
    for (const auto &[id, value] : contents.settings) {
        setting.reset();
        setting.bind(1, id);
        setting.bind(2, value);
        setting.run();
    }
    // The next ID the outline gives is as it was, so that IDs of deleted rows stay unused.
    if (contents.lastId) {
        Statement sequence(db, "UPDATE sqlite_sequence SET seq = ? WHERE name = 'mynodes'");
        sequence.bind(1, *contents.lastId);
        sequence.run();
        Statement add(db, "INSERT INTO sqlite_sequence (name, seq) SELECT 'mynodes', ? WHERE "
                          "NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'mynodes')");
        add.bind(1, *contents.lastId);
        add.run();
    } else {
        db.exec("DELETE FROM sqlite_sequence WHERE name = 'mynodes'");
    }
}

} // namespace

void importJson(const std::string &jsonPath, const std::string &path)
{
    // Said before a large file is read; the creation tests again, exclusively.
    if (struct stat info{}; ::lstat(path.c_str(), &info) == 0)
        throw FileExists(path);
    std::ifstream in(jsonPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + jsonPath);
    archive::Contents contents;
    try {
        contents = archive::read(in);
        checkRows(contents);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(jsonPath + " cannot be imported: " + error.what() + ".");
    }
    createDatabase(path, [&](Connection &db) { fill(db, contents); });
}

} // namespace quillet::dbtool
