#include "keeping/Archive.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "store/OutlineRowCheck.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "tools/DbTool.h"
#include "tools/NewDatabase.h"

#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

// Takes the rows, settings and kept versions as they are read: each row is checked by the rule
// the program loads the outline with, and written while every row before it was sound. Every
// problem is counted, the first ten named, and said at the end, with nothing imported.
class Import
{
public:
    Import(Connection &db, NoteHistory &history, std::string path)
        : m_rows(db)
        , m_setting(db, "INSERT INTO parame (ID, timilo) VALUES (?, ?)")
        , m_db(db)
        , m_history(history)
        , m_path(std::move(path))
    {
    }

    void row(const archive::Row &stored)
    {
        const std::int64_t id = *stored[0].integer();
        const OutlineRow row{id, stored[1], stored[2], stored[4]};
        const CheckedRow checked = m_check.check(row);
        if (m_previousId && id <= *m_previousId)
            found({id, checked, std::nullopt, {}});
        m_previousId = id;
        for (const RowProblem problem : checked.problems)
            found({id, checked, problem, row});
        if (m_count == 0)
            m_rows.insert(stored);
    }

    void setting(std::int64_t id, const Value &value)
    {
        if (++m_settings > static_cast<std::size_t>(Settings::kCount))
            return;
        m_setting.reset();
        m_setting.bind(1, id);
        m_setting.bind(2, value);
        m_setting.run();
    }

    // Versions go into the new database's history file in batches; none once a row is found
    // wrong, as nothing will be imported then.
    void version(const NoteVersion &version)
    {
        if (m_count > 0)
            return;
        m_versions.push_back(version);
        if (m_versions.size() >= kBatch)
            writeVersions();
    }

    void finish(std::optional<std::int64_t> lastId)
    {
        if (m_count == 0)
            writeVersions();
        // Said once every row is read: where a parent is is known only then.
        std::string problems;
        for (const Found &f : m_found) {
            const std::string &other =
                f.problem == RowProblem::ParentNotBefore ? f.checked.parentKey : f.checked.key;
            problems +=
                "\n  ID " + std::to_string(f.id) + ", key \"" + f.checked.key + "\": " +
                (f.problem ? describe(*f.problem, f.row, f.checked, m_check.firstIdOf(other))
                           : "the rows are not in ID order");
        }
        if (m_count > 10)
            problems += "\n  and " + std::to_string(m_count - 10) + " more";
        if (m_count > 0)
            throw archive::FormatError("the rows do not make an outline; nothing was imported:" +
                                       problems);
        if (m_settings == 0 || m_settings > static_cast<std::size_t>(Settings::kCount))
            throw archive::FormatError("it holds " + std::to_string(m_settings) +
                                       " settings rows, where a notes database has 1 to 30; "
                                       "nothing was imported");
        // The program adds items beside or below a selected one: an outline without its first
        // item "A" would show nothing to add to.
        if (!m_check.firstIdOf("A"))
            throw archive::FormatError("no row has the key \"A\", the outline's first item, so "
                                       "the program could add no items to it; nothing was "
                                       "imported");
        // The next ID the outline gives is as it was, so that IDs of deleted rows stay unused.
        if (lastId) {
            Statement sequence(m_db, "UPDATE sqlite_sequence SET seq = ? WHERE name = 'mynodes'");
            sequence.bind(1, *lastId);
            sequence.run();
            Statement add(m_db,
                          "INSERT INTO sqlite_sequence (name, seq) SELECT 'mynodes', ? WHERE "
                          "NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'mynodes')");
            add.bind(1, *lastId);
            add.run();
        } else {
            m_db.exec("DELETE FROM sqlite_sequence WHERE name = 'mynodes'");
        }
    }

private:
    static constexpr std::size_t kBatch = 256;

    void writeVersions()
    {
        if (m_versions.empty())
            return;
        if (!m_madeHistory) {
            // A history file already there is another database's, or a stale one: the new
            // database's versions are not mixed into it.
            if (m_history.exists())
                throw archive::FormatError(
                    "it holds the notes' earlier versions, and a history file is already at " +
                    places::historyFile(m_path) + "; move it away first. Nothing was imported");
            m_madeHistory = true;
        }
        try {
            m_history.add(m_versions);
        } catch (const StoreError &error) {
            throw archive::FormatError("its earlier versions could not be kept: " +
                                       error.message() + ". Nothing was imported");
        }
        m_versions.clear();
    }

    // A problem of a row, kept for the first ten so that they can be said at the end.
    struct Found
    {
        std::int64_t id;
        CheckedRow checked;
        std::optional<RowProblem> problem; // nothing: the rows are not in ID order
        OutlineRow row;
    };
    void found(Found problem)
    {
        if (++m_count <= 10)
            m_found.push_back(std::move(problem));
    }

    RowInserter m_rows;
    Statement m_setting;
    Connection &m_db;
    OutlineRowCheck m_check;
    std::optional<std::int64_t> m_previousId;
    std::vector<Found> m_found;
    int m_count = 0;
    std::size_t m_settings = 0;
    NoteHistory &m_history;
    std::string m_path;
    std::vector<NoteVersion> m_versions;
    bool m_madeHistory = false;
};

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

// Takes away a history file an import began, with its log, and its folder if it began that.
void removeHistory(const std::string &path, bool folderWasThere)
{
    const std::string file = places::historyFile(path);
    for (const char *suffix : {"-wal", "-shm", ""})
        durable::remove(file + suffix);
    if (!folderWasThere)
        ::rmdir(places::historyFolder(path).c_str());
}

} // namespace

void importJson(const std::string &jsonPath, const std::string &path)
{
    // Said before the file is read; the creation tests again, exclusively.
    if (exists(path))
        throw FileExists(path);
    std::ifstream in(jsonPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + jsonPath);
    // The file is read as it is written into the new database, a row at a time; whatever is
    // wrong with it removes the new database again, and the history file if this began it.
    std::optional<NoteHistory> history(std::in_place, path);
    const bool historyWasThere = exists(places::historyFile(path));
    const bool folderWasThere = exists(places::historyFolder(path));
    try {
        createDatabase(path, [&](Connection &db) {
            try {
                Import import(db, *history, path);
                const std::optional<std::int64_t> lastId = archive::read(
                    in, {[&](const archive::Row &row) { import.row(row); },
                         [&](std::int64_t id, const Value &value) { import.setting(id, value); },
                         [&](const NoteVersion &version) {
                             import.version(version);
                         }});
                import.finish(lastId);
            } catch (const archive::FormatError &error) {
                throw std::runtime_error(jsonPath + " cannot be imported: " + error.what() + ".");
            }
        });
        history->settle();
    } catch (...) {
        history.reset();
        if (!historyWasThere)
            removeHistory(path, folderWasThere);
        throw;
    }
}

} // namespace quillet::dbtool
