#include "tools/import/DbImport.h"

#include "keeping/Archive.h"
#include "keeping/DurableFiles.h"
#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "session/NotesSession.h"
#include "store/Keys.h"
#include "store/OutlineRowCheck.h"
#include "store/Schema.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "store/Tables.h"
#include "tools/work/Worker.h"

#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

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
        , m_setting(db)
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
        if (keys::length(checked.key) > keys::kMaxLevels)
            found({id, checked, std::nullopt, row, true});
        if (m_count == 0)
            m_rows.insert(stored);
    }

    void setting(std::int64_t id, const Value &value)
    {
        if (++m_settings > static_cast<std::size_t>(Settings::kCount))
            return;
        m_setting.insert(id, value);
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
                (f.problem   ? describe(*f.problem, f.row, f.checked, m_check.firstIdOf(other))
                 : f.tooDeep ? "the item lies " + std::to_string(keys::length(f.checked.key)) +
                                   " levels deep, and an outline goes at most " +
                                   std::to_string(keys::kMaxLevels) + " levels deep"
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
        setLastRowId(m_db, lastId);
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
        std::optional<RowProblem> problem; // nothing: the rows are not in ID order, or
        OutlineRow row;
        bool tooDeep = false; // the row lies below the most levels an outline goes to
    };
    void found(Found problem)
    {
        if (++m_count <= 10)
            m_found.push_back(std::move(problem));
    }

    RowInserter m_rows;
    SettingInserter m_setting;
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

// Reads an archive on a thread of its own while this thread writes what was read, handing each
// row, setting and version to receiver here, in the order read, as archive::read does. The
// reading (the JSON, its UTF-8) and the engine's writing take about as long each; on two cores
// the import then takes as long as the longer of the two. What is read waits in a few batches
// of bounded size, so memory does not grow with the number of rows. A receiver that throws
// stops the reading; a problem of the file is thrown once everything read before it is handed
// on, as a reading on this thread would.
class ReadAhead
{
public:
    std::optional<std::int64_t> read(std::istream &in, const archive::Receiver &receiver)
    {
        const bool withVersions = receiver.version != nullptr;
        // A receiver that throws leaves the reader unjoined, which stops the reading.
        Worker<Batch> reader(WorkerEnd::Puts, kBatchesWaiting,
                             [&](BoundedQueue<Batch> &queue) { readAll(in, withVersions, queue); });
        while (std::optional<Batch> batch = reader.queue().take())
            for (Item &item : *batch)
                handOn(item, receiver);
        // The reading thread's results are this thread's once it is joined.
        reader.join();
        return m_lastId;
    }

private:
    using Setting = std::pair<std::int64_t, Value>;
    using Item = std::variant<archive::Row, Setting, NoteVersion>;
    using Batch = std::vector<Item>;
    static constexpr std::size_t kBatchItems = 64;
    static constexpr std::size_t kBatchBytes = 1 << 20;
    static constexpr std::size_t kBatchesWaiting = 4;
    // Ends the reading once the receiver gave up.
    struct Stopped
    {
    };

    static std::size_t bytesOf(const archive::Row &row)
    {
        std::size_t bytes = 0;
        for (const Value &value : row)
            bytes += value.textView().value_or(std::string_view()).size();
        return bytes;
    }

    static void handOn(Item &item, const archive::Receiver &receiver)
    {
        if (auto *row = std::get_if<archive::Row>(&item))
            receiver.row(*row);
        else if (auto *setting = std::get_if<Setting>(&item))
            receiver.setting(setting->first, setting->second);
        else
            receiver.version(std::get<NoteVersion>(item));
    }

    // The reading thread.
    void readAll(std::istream &in, bool withVersions, BoundedQueue<Batch> &queue)
    {
        archive::Receiver collect{
            [&](const archive::Row &row) { add(queue, Item(row), bytesOf(row)); },
            [&](std::int64_t id, const Value &value) {
                add(queue, Item(Setting(id, value)), 0);
            }};
        if (withVersions)
            collect.version = [&](const NoteVersion &version) {
                add(queue, Item(version), bytesOf(version.row));
            };
        try {
            m_lastId = archive::read(in, collect);
        } catch (...) {
            // What was read before the problem is handed on first, as on one thread.
            send(queue);
            throw;
        }
        send(queue);
    }

    void add(BoundedQueue<Batch> &queue, Item item, std::size_t bytes)
    {
        m_filling.push_back(std::move(item));
        m_fillingBytes += bytes;
        if ((m_filling.size() >= kBatchItems || m_fillingBytes >= kBatchBytes) && !send(queue))
            throw Stopped{};
    }

    // False once the queue is stopped: nothing more is taken.
    bool send(BoundedQueue<Batch> &queue)
    {
        const bool taken = m_filling.empty() || queue.put(std::move(m_filling));
        m_filling.clear();
        m_fillingBytes = 0;
        return taken;
    }

    // The reading thread's own until it is joined.
    Batch m_filling;
    std::size_t m_fillingBytes = 0;
    std::optional<std::int64_t> m_lastId;
};

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
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
    NotesSession::makeNew(
        path,
        [&](Connection &db, NoteHistory &history) {
            try {
                Import import(db, history, path);
                const std::optional<std::int64_t> lastId = ReadAhead().read(
                    in, {[&](const archive::Row &row) { import.row(row); },
                         [&](std::int64_t id, const Value &value) { import.setting(id, value); },
                         [&](const NoteVersion &version) {
                             import.version(version);
                         }});
                import.finish(lastId);
            } catch (const archive::FormatError &error) {
                throw std::runtime_error(jsonPath + " cannot be imported: " + error.what() + ".");
            }
        },
        modeFromSource(jsonPath));
}

} // namespace quillet::dbtool
