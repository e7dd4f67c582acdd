#pragma once

#include <string>
#include <string_view>
#include <vector>

// The names of the files Quillet keeps beside a notes database. They go beside the file a
// database link points to, where the notes themselves are.
namespace quillet::places {

// The database file itself, links followed.
std::string databaseFile(const std::string &databasePath);
// The file's name without ".mdb": "mydata" for mydata.mdb.
std::string stem(const std::string &databasePath);

// backups/ beside the database, and a backup's name in it: "mydata-20261207-134700.mdb", with
// "-2", "-3" after the time for a second and third backup in the same second.
std::string backupsFolder(const std::string &databasePath);
std::string backupFile(const std::string &databasePath, const std::string &timestamp, int n);

// deleted/ beside the database, and a deletion's copy in it: "20261207-134700-B1.json".
std::string deletedFolder(const std::string &databasePath);
std::string deletionCopyFile(const std::string &databasePath, const std::string &timestamp,
                             std::string_view key, int n);
// Whether a name in deleted/ is a deletion's copy not yet put back: the date, the time, the
// key and ".json", with no other point in it.
bool isDeletionCopyName(std::string_view name);
// The name a copy takes once its items are put back, beside it: "20261207-134700-B1.json"
// becomes "20261207-134700-B1.restored.json", with "-2", "-3" before ".json" when taken.
std::string restoredCopyFile(const std::string &copyPath, int n);

// history/ beside the database, and the history file in it: "history/mydata-history.db".
std::string historyFolder(const std::string &databasePath);
std::string historyFile(const std::string &databasePath);
// Beside it while rows' new IDs wait to be taken by their versions: "mydata-history.renumbering".
std::string renumberingMarker(const std::string &databasePath);
// Where a history file found beside another database than its own is set aside:
// "history/mydata-history-of-another-database-20261207-134700.db", "-2" and on after the time.
std::string asideHistoryFile(const std::string &databasePath, const std::string &timestamp, int n);
// The copy of the history file made with the backup of the given name, beside it:
// "mydata-history-20261207-134700.db" for "mydata-20261207-134700.mdb".
std::string historyBackupFile(const std::string &databasePath, const std::string &backupFile);

// The copy restore keeps of the file it replaces, and the copy it renames into its place.
std::string beforeRestoreFile(const std::string &databasePath, const std::string &timestamp, int n);
std::string restoringFile(const std::string &databasePath);

// Where a note that could not be stored is written: "mydata.mdb.recovered-B1-20261207-134700.txt"
// beside the database, else in the fallback folders in turn.
std::vector<std::string> recoveryFiles(const std::string &databasePath, std::string_view key,
                                       const std::string &timestamp,
                                       const std::vector<std::string> &fallbackFolders);

} // namespace quillet::places
