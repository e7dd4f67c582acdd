#pragma once

#include "store/Value.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

// Verified copies of a notes database in "backups" beside it, and putting one back.
namespace quillet::backups {

// What is wrong with a database file: empty when the engine's integrity check passes and
// both tables with every column are there.
std::string problemsOf(const std::string &path);

// The backups of the database at databasePath, oldest first.
std::vector<std::string> list(const std::string &databasePath);

struct Made
{
    std::string file;                 // the new backup
    std::vector<std::string> removed; // older backups removed, beyond the number kept
};

// Copies the database through the engine's online backup into backups/ beside it (beside the
// file a link points to), named by the date and time ("mydata-20261207-134700.mdb"), with the
// database file's permissions. The copy gets that name only once it has passed
// the integrity check; only then are the oldest backups beyond keep removed (the new one is
// always kept). A damaged database gives no backup and removes nothing: std::runtime_error.
// Setting stop, when given, makes a copy under way give up soon, leaving no backup.
Made make(const std::string &databasePath, int keep = 10, const std::atomic<bool> *stop = nullptr);

// Takes away from the copies in backups/ and deleted/, and from those folders, the group and
// other permission bits that the database file does not have: copies made before their
// permissions followed the database's.
void tightenCopies(const std::string &databasePath);

// The newest backup whose row with the key holds exactly the note given (its type and bytes);
// empty when none does.
std::string newestHolding(const std::string &databasePath, const std::string &key,
                          const Value &note);

// Whether a backup is due: none was made in the last day, and the database changed since the
// newest one.
// now is the clock's time, given so that a test can be a day later.
bool due(const std::string &databasePath,
         std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

struct Restored
{
    std::string file; // the file restored: the database, or the file its link points to
    std::string kept; // the file it replaced, kept; empty when there was none
};

// Puts a verified backup in the database's place (when databasePath is a link, in the place of
// the file it points to): the current file is kept first as
// "<database>.before-restore-<date>-<time>"; the backup is copied beside the database, with the
// replaced file's permissions and owner, and renamed over it in one step. Refused
// (std::runtime_error, nothing changed) when the backup fails its check, the program has the
// database open, or an interrupted change still waits in the database's journal.
Restored restore(const std::string &backupPath, const std::string &databasePath);

} // namespace quillet::backups
