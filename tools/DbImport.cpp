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
    std::string problems;
    int count = 0;
    std::optional<std::int64_t> previousId;
    for (const archive::Row &stored : contents.rows) {
        const std::int64_t id = *stored[0].integer();
        std::vector<std::string> found;
        if (previousId && id <= *previousId)
            found.emplace_back("the rows are not in ID order");
        previousId = id;
        const CheckedRow checked = rowCheck.check(OutlineRow{id, stored[1], stored[2], stored[4]});
        for (const RowProblem problem : checked.problems)
            found.push_back(checked.describe(problem));
        for (const std::string &problem : found) {
            if (++count <= 10)
                problems +=
                    "\n  ID " + std::to_string(id) + ", key \"" + checked.key + "\": " + problem;
        }
    }
    if (count > 10)
        problems += "\n  and " + std::to_string(count - 10) + " more";
    if (count > 0)
        throw std::runtime_error("the rows do not make an outline; nothing was imported:" +
                                 problems);
    if (contents.settings.empty() ||
        contents.settings.size() > static_cast<std::size_t>(Settings::kCount))
        throw std::runtime_error("it holds " + std::to_string(contents.settings.size()) +
                                 " settings rows, where a notes database has 1 to 30; nothing "
                                 "was imported");
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
