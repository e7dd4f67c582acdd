#pragma once

#include "faults/power/PowerCutWorkload.h"

#include <string>
#include <vector>

namespace quillet::test {

// What one power cut left, against what the workload acknowledged before it.
struct CutVerdict
{
    long long checked = 0;   // acknowledged changes checked: the database's, and each file's
    long long lost = 0;      // acknowledged changes not there after the cut
    long long lostFiles = 0; // ... of which files beside the database
    long long torn = 0;      // files under a final name that fail their check or hold half a write
    long long strayVersions = 0;       // versions the history shows under another note's row
    std::vector<std::string> problems; // each loss and tear, in words
};

// Checks the files after the cut, as the program and the tool find them when the machine is
// back: the database opened by the store (which rolls back a journal left behind), its
// integrity check and quillet-db's check, its rows and settings against the acknowledged state
// (or the state of the change under way); each acknowledged backup, deletion copy, recovery
// file, export and copy kept by a restore, there and whole; and every other file under such a
// name whole as well; and the notes' versions, through the history as the program reads it:
// every version shown under a row is of that row's own note (its text has the note's tag), and
// once the notes hold the day's move, each moved note shows the versions it had before it.
//
// next is what the program does when it starts again, after the rows are checked and before
// the versions are: open the history first, or add an item first, under the item the day's move
// takes its item under, as a user who finds the move undone might (the new item then takes the
// key, and the next ID, that the move would have given).
enum class NextStart { ReadsTheHistory, AddsUnderTheMovesPlace };
CutVerdict checkAfterCut(const std::string &databasePath, const Acknowledged &acknowledged,
                         NextStart next = NextStart::ReadsTheHistory);

} // namespace quillet::test
