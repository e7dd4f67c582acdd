#pragma once

#include "faults/crash/WriterProtocol.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {
class Connection;
class NoteStore;
} // namespace quillet

// What a fault test expects a notes database to hold: the rows and settings its acknowledged
// writes leave, read back and compared; and the files beside the database that every write
// must leave whole. The crash soak and the power-cut test share it.
namespace quillet::crashtest {

struct RowState
{
    std::string key;
    std::string title;
    std::string text; // "<size>:<hash>" of the stored note, or "Null"
    std::int64_t expanded = 0;

    bool operator==(const RowState &) const = default;
};

struct StoreState
{
    std::vector<RowState> rows; // in ID order
    std::array<std::int32_t, 30> settings{};
    std::int64_t settingsRows = 30;

    bool operator==(const StoreState &) const = default;
};

// The state after the write, or nothing when the write cannot apply to this state (a key that
// is not there, flags for another number of rows): the writer and the test then disagree.
std::optional<StoreState> applied(StoreState state, const Write &write);

// The state with everything the write may touch blanked out. Two states that differ only where
// the write could have written agree here; a difference anywhere else is an earlier write lost.
StoreState untouchedBy(StoreState state, const Write &write);

// Bytes as a quoted string, anything but printable ASCII as \xNN.
std::string shown(std::string_view bytes);

// The first few differences between what the file should hold and what it holds.
std::string differences(const StoreState &expected, const StoreState &found);

// PRAGMA integrity_check's lines, joined.
std::string integrityCheck(Connection &connection);

// The rows and settings as the program reads them.
StoreState readState(NoteStore &store);

// ---- The notes' versions -------------------------------------------------------------------

// A row of the notes and the versions the history shows under its ID, read as the history
// window reads them (the history settles first whatever a crash left between its file and the
// notes').
struct RowVersions
{
    std::string key;
    std::int64_t id = 0;
    std::string tag;                    // of its note now (noteTag); empty for one never saved
    std::vector<std::string> shownTags; // of each version shown under its ID, newest first
};

// Throws what the store and the history throw.
std::vector<RowVersions> versionsShown(const std::string &databasePath);

// Each version shown under a row whose note it is not, in words: one whose tag is not the
// row's own.
std::vector<std::string> strayVersions(const std::vector<RowVersions> &rows);

// What is wrong with the versions shown after a crash, which loses nothing the history
// committed: a version under another note (strayVersions), or a note showing fewer of its own
// versions than versionsOf says it showed before. versionsOf then holds the counts shown now,
// by tag. Empty when nothing is wrong.
std::string versionProblems(const std::vector<RowVersions> &rows,
                            std::map<std::string, std::size_t> &versionsOf);

// ---- The files beside the database ---------------------------------------------------------

// The copies of deleted items in deleted/ beside the database, by path.
std::vector<std::string> deletionCopies(const std::string &databasePath);

// What is wrong with a copy of deleted items: empty when it reads back whole, with rows.
std::string deletionCopyProblem(const std::string &copy);

struct SideFileCounts
{
    long long backups = 0;        // backups that passed their check
    long long deletionCopies = 0; // copies of deleted rows read back whole
};

// What a fault must never leave beside the database: a file with a backup's name that does not
// pass its check, or a deletion without its whole copy. New copies are read back (and counted
// into copiesRead) once each; deletionsDone is the number of deletions the file holds.
std::string sideFileProblems(const std::string &path, long long deletionsDone,
                             std::set<std::string> &copiesRead, SideFileCounts &counts);

} // namespace quillet::crashtest
