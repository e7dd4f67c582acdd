#include "faults/power/PowerCutChecks.h"

#include "keeping/Archive.h"
#include "keeping/Backups.h"
#include "keeping/History.h"
#include "keeping/Places.h"
#include "session/NotesSession.h"
#include "store/Keys.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"
#include "tools/commands/DbTool.h"

#include <algorithm>
#include <bitset>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace quillet::test {

using crashtest::RowState;
using crashtest::StoreState;

namespace {

bool exists(const std::string &path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// The rows and settings of a notes database, read as the program reads them; nothing, with the
// reason in problem, when it cannot be opened or fails its integrity check.
std::optional<StoreState> stateOf(const std::string &path, std::string &problem)
{
    try {
        NoteStore store(path);
        const std::string integrity = crashtest::integrityCheck(store.connection());
        if (integrity != "ok") {
            problem = "its integrity check says: " + integrity;
            return std::nullopt;
        }
        return crashtest::readState(store);
    } catch (const std::exception &error) {
        problem = error.what();
        return std::nullopt;
    }
}

// The rows of a copy of deleted items, in the model's terms; nothing when it cannot be read.
std::optional<std::vector<RowState>> rowsOfCopy(const std::string &path)
{
    if (!crashtest::deletionCopyProblem(path).empty())
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<RowState> rows;
    for (const archive::Row &row : archive::read(in).rows) {
        const std::optional<std::string> text = row[3].toText();
        rows.push_back(
            RowState{row[1].toText().value_or("(Null)"), row[2].toText().value_or("(Null)"),
                     text ? crashtest::textDigest(*text) : "Null", row[4].toInt32().value_or(-1)});
    }
    return rows;
}

// Files in the database's folder whose names hold part.
std::vector<std::string> filesNamed(const std::string &databasePath, const std::string &part)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(
             std::filesystem::path(databasePath).parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.find(part) != std::string::npos && !name.ends_with(".partial"))
            found.push_back(entry.path().string());
    }
    return found;
}

class Checker
{
public:
    Checker(const std::string &path, const Acknowledged &acknowledged)
        : m_path(path)
        , m_acknowledged(acknowledged)
    {
    }

    CutVerdict run(NextStart next)
    {
        checkDatabase();
        for (const AcknowledgedFile &file : m_acknowledged.files)
            checkAcknowledged(file);
        checkUnacknowledged();
        checkHistory();
        checkUnderWay();
        if (next == NextStart::AddsUnderTheMovesPlace)
            addUnderTheMovesPlace();
        checkVersions();
        return m_verdict;
    }

private:
    void lost(long long count, const std::string &what)
    {
        m_verdict.lost += count;
        m_verdict.problems.push_back("lost: " + what);
    }

    // Each file counts once, however many of its checks it fails.
    void torn(const std::string &file, const std::string &what)
    {
        if (m_torn.insert(file).second)
            ++m_verdict.torn;
        m_verdict.problems.push_back("torn: " + file + ": " + what);
    }

    void checkDatabase()
    {
        const std::vector<StoreState> &states = m_acknowledged.states;
        const auto changes = static_cast<long long>(states.size());
        m_verdict.checked += changes;
        if (!exists(m_path)) {
            if (changes > 0)
                lost(changes, "the database is gone");
            return;
        }
        std::string problem;
        m_found = stateOf(m_path, problem);
        if (!m_found) {
            torn(m_path, problem);
            return;
        }
        const dbtool::CheckReport report = dbtool::checkDatabase(m_path);
        for (const dbtool::Problem &found : report.problems)
            torn(m_path, "quillet-db check: " + found.text);
        if (changes > 0 && *m_found == states.back()) {
            m_foundState = states.size() - 1;
            return;
        }
        if (m_acknowledged.underWay && *m_found == *m_acknowledged.underWay) {
            m_foundState = states.size();
            return;
        }
        // The file as it was some acknowledged changes ago, or as no change ever left it.
        for (long long j = changes - 1; j >= 0; --j) {
            if (*m_found == states[static_cast<std::size_t>(j)]) {
                m_foundState = static_cast<std::size_t>(j);
                lost(changes - 1 - j, "the database holds the state after change " +
                                          std::to_string(j + 1) + " of " + std::to_string(changes) +
                                          " acknowledged");
                return;
            }
        }
        torn(m_path,
             "its rows are in no state its changes leave:" +
                 crashtest::differences(changes > 0 ? states.back() : StoreState{}, *m_found));
    }

    void checkAcknowledged(const AcknowledgedFile &file)
    {
        ++m_verdict.checked;
        m_acknowledgedPaths.insert(file.path);
        if (!exists(file.path)) {
            lost(1, "the acknowledged file " + file.path + " is gone");
            ++m_verdict.lostFiles;
            return;
        }
        switch (file.kind) {
        case AcknowledgedFile::Kind::Backup:
        case AcknowledgedFile::Kind::BeforeRestore: {
            std::string problem = backups::problemsOf(file.path);
            std::optional<StoreState> state;
            if (problem.empty())
                state = stateOf(file.path, problem);
            if (!state)
                torn(file.path, problem);
            else if (*state != file.state)
                torn(file.path,
                     "it holds other rows:" + crashtest::differences(file.state, *state));
            return;
        }
        case AcknowledgedFile::Kind::DeletionCopy: {
            const std::optional<std::vector<RowState>> rows = rowsOfCopy(file.path);
            if (!rows || *rows != file.rows)
                torn(file.path, "it does not hold the deleted rows whole");
            return;
        }
        case AcknowledgedFile::Kind::Recovery:
        case AcknowledgedFile::Kind::Export:
            if (fileBytes(file.path) != file.bytes)
                torn(file.path, "it does not hold exactly what was written");
            return;
        }
    }

    // The history file, and each copy of it in backups/: whatever versions a cut took, whole.
    void checkHistory()
    {
        std::vector<std::string> files{places::historyFile(m_path)};
        for (const std::string &backup : backups::list(m_path))
            files.push_back(places::historyBackupFile(m_path, backup));
        for (const std::string &file : files) {
            if (!exists(file))
                continue;
            try {
                Connection history(file, Connection::Mode::ReadWrite);
                const std::string integrity = crashtest::integrityCheck(history);
                if (integrity != "ok")
                    torn(file, "its integrity check says: " + integrity);
            } catch (const StoreError &error) {
                torn(file, error.message());
            }
        }
    }

    // Files under a final name whose step was not acknowledged: there or not, but whole.
    void checkUnacknowledged()
    {
        const auto unacknowledged = [&](const std::string &file) {
            return !m_acknowledgedPaths.contains(file);
        };
        for (const std::string &backup : backups::list(m_path))
            if (unacknowledged(backup))
                if (const std::string problem = backups::problemsOf(backup); !problem.empty())
                    torn(backup, problem);
        for (const std::string &copy : crashtest::deletionCopies(m_path))
            if (unacknowledged(copy))
                if (const std::string problem = crashtest::deletionCopyProblem(copy);
                    !problem.empty())
                    torn(copy, problem);
        for (const std::string &kept : filesNamed(m_path, ".before-restore-"))
            if (unacknowledged(kept))
                if (const std::string problem = backups::problemsOf(kept); !problem.empty())
                    torn(kept, problem);
        for (const std::string &recovered : filesNamed(m_path, ".recovered-"))
            if (unacknowledged(recovered) && fileBytes(recovered) != m_acknowledged.recoveryText)
                torn(recovered, "it does not hold exactly the note written to it");
        const std::string &exported = m_acknowledged.exportPath;
        if (!exported.empty() && unacknowledged(exported) && exists(exported) &&
            fileBytes(exported) != m_acknowledged.exportBytes)
            torn(exported, "it does not hold exactly the export");
    }

    // A change under way that took effect must have left what it promises beside the file.
    void checkUnderWay()
    {
        if (!m_found || !m_acknowledged.underWay || *m_found != *m_acknowledged.underWay ||
            (!m_acknowledged.states.empty() && *m_found == m_acknowledged.states.back()))
            return;
        if (!m_acknowledged.deletingRows.empty()) {
            const std::vector<std::string> copies = crashtest::deletionCopies(m_path);
            if (std::none_of(copies.begin(), copies.end(), [&](const std::string &copy) {
                    return rowsOfCopy(copy) == m_acknowledged.deletingRows;
                })) {
                lost(1, "the deleted rows have no copy in deleted/");
                ++m_verdict.lostFiles;
            }
        }
        if (m_acknowledged.restoreReplaces) {
            const std::vector<std::string> kept = filesNamed(m_path, ".before-restore-");
            std::string problem;
            if (std::none_of(kept.begin(), kept.end(), [&](const std::string &file) {
                    return stateOf(file, problem) == m_acknowledged.restoreReplaces;
                })) {
                lost(1, "the file the restore replaced was not kept");
                ++m_verdict.lostFiles;
            }
        }
    }

    // The program started again: a new item under the move's place, as the add command makes
    // it, before anything has read the history.
    void addUnderTheMovesPlace()
    {
        if (!m_found)
            return;
        const std::string parent = PowerCutWorkload::kMovedUnder;
        std::bitset<10> used;
        bool there = false;
        for (const RowState &row : m_found->rows) {
            there = there || row.key == parent;
            if (row.key.size() == parent.size() + 1 && row.key.starts_with(parent))
                used.set(static_cast<std::size_t>(row.key.back() - '0'));
        }
        const std::optional<int> number = keys::nextChildNumber(used);
        if (!there || !number)
            return;
        NotesSession session;
        session.setPath(m_path);
        session.open();
        session.addItem(parent + static_cast<char>('0' + *number), "Added at the next start");
    }

    // The versions the history shows under each row, and those of the moved notes once the
    // notes hold the move.
    void checkVersions()
    {
        if (!m_found)
            return;
        std::vector<crashtest::RowVersions> rows;
        try {
            rows = crashtest::versionsShown(m_path);
        } catch (const HistoryUnavailable &error) {
            torn(places::historyFile(m_path), error.what());
            return;
        } catch (const std::exception &error) {
            torn(m_path, std::string("its notes cannot be read again: ") + error.what());
            return;
        }
        for (const std::string &stray : crashtest::strayVersions(rows)) {
            ++m_verdict.strayVersions;
            m_verdict.problems.push_back("stray version: " + stray);
        }
        const std::optional<Acknowledged::Move> &move = m_acknowledged.move;
        if (!move || !m_foundState || *m_foundState < move->state)
            return;
        ++m_verdict.checked;
        std::map<std::string, std::size_t> shown; // of each note's own versions, by its tag
        for (const crashtest::RowVersions &row : rows)
            shown[row.tag] += static_cast<std::size_t>(
                std::count(row.shownTags.begin(), row.shownTags.end(), row.tag));
        for (const auto &[tag, count] : move->versions)
            if (shown[tag] < count)
                lost(static_cast<long long>(count - shown[tag]),
                     "the moved note " + tag + " shows " + std::to_string(shown[tag]) + " of the " +
                         std::to_string(count) + " versions it had before the move");
    }

    std::string m_path;
    const Acknowledged &m_acknowledged;
    CutVerdict m_verdict;
    std::optional<StoreState> m_found;
    std::optional<std::size_t> m_foundState; // which state it is: states.size() the under way
    std::set<std::string> m_torn;
    std::set<std::string> m_acknowledgedPaths;
};

} // namespace

CutVerdict checkAfterCut(const std::string &databasePath, const Acknowledged &acknowledged,
                         NextStart next)
{
    return Checker(databasePath, acknowledged).run(next);
}

} // namespace quillet::test
