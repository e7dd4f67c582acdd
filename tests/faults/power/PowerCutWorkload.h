#pragma once

#include "faults/crash/StoreModel.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet::test {

// The ways of writing the workload runs in: as the program and the tool write, or broken on
// purpose, so that the power-cut test shows it finds what it is there to find.
enum class Writing {
    AsShipped,
    CommitsWithFullSync,   // the store's commits without the folder sync after the journal goes
    CommitsWithNormalSync, // the store's commits with synchronous=NORMAL
    FolderSyncsSkipped,    // the files beside the database written without syncing their folder
    MoveWithoutVersions,   // the move made in the notes alone, its versions left behind
    MoveCrossingVersions,  // the moved rows' versions given each other's new IDs
};

// A file beside the database that a step acknowledged, with what it must hold.
struct AcknowledgedFile
{
    enum class Kind { Backup, DeletionCopy, Recovery, Export, BeforeRestore };

    Kind kind;
    std::string path;
    std::string bytes;                     // Recovery, Export: exactly these
    crashtest::StoreState state;           // Backup, BeforeRestore: these rows and settings
    std::vector<crashtest::RowState> rows; // DeletionCopy: these rows
};

// What the workload's steps acknowledged, kept in memory, outside the simulated disk.
struct Acknowledged
{
    // The database's rows and settings after each acknowledged change, the first the new file.
    std::vector<crashtest::StoreState> states;
    // The step under way when the power went, if it changes the database: the state it leaves.
    std::optional<crashtest::StoreState> underWay;
    // ... and when it is a deletion, the rows that must have their copy once they are gone; when
    // it is a restore, the state the kept copy of the replaced file must hold.
    std::vector<crashtest::RowState> deletingRows;
    std::optional<crashtest::StoreState> restoreReplaces;

    // The day's move: its state is states[state] once acknowledged, and from the moment the
    // notes hold it each moved note must show at least the versions it had before it (by the
    // tag its texts begin with, crashtest::noteTag: the day tags each
    // note with the key it was added under), which the history made durable before the notes
    // changed.
    struct Move
    {
        std::size_t state = 0;
        std::map<std::string, std::size_t> versions; // by tag
    };
    std::optional<Move> move;

    std::vector<AcknowledgedFile> files;
    // What a recovery file or the export may hold under its name whether or not acknowledged.
    std::string recoveryText;
    std::string exportPath;
    std::string exportBytes;

    int steps = 0; // steps acknowledged, of kSteps
};

// Runs the scripted workload against a notes database in folder through the store, the files
// kept beside it and the tool, as a user's day with the program and the tool would: a new
// database, notes saved (keeping what each save replaces in the history), items added, renamed
// and deleted with their copy, the workspace stored, a daily backup, a recovery file, an item
// put back, an export, a restore, then more saves and an item moved with its subtree under
// another, its rows taking new IDs and their versions following. It stops at the first step
// that fails, or once the power is off.
class PowerCutWorkload
{
public:
    static constexpr int kSteps = 29;
    // The item the day moves, and the item it goes under: the key its note would take there
    // is the key a new item added under it takes.
    static constexpr const char *kMoved = "B";
    static constexpr const char *kMovedUnder = "C";

    PowerCutWorkload(std::string folder, Writing writing);

    std::string databasePath() const { return m_folder + "/mydata.mdb"; }
    // Runs the steps; powerIsOff tells when the disk has lost power.
    void run(const std::function<bool()> &powerIsOff);
    const Acknowledged &acknowledged() const { return m_acknowledged; }

private:
    class Session;

    std::string m_folder;
    Writing m_writing;
    Acknowledged m_acknowledged;
};

} // namespace quillet::test
