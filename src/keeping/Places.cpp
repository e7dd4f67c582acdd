#include "keeping/Places.h"

#include "keeping/DurableFiles.h"

namespace quillet::places {

namespace {

std::string nameOf(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string beside(const std::string &databasePath)
{
    return durable::folderOf(databasePath) + "/";
}

std::string numbered(int n)
{
    return n > 1 ? "-" + std::to_string(n) : std::string();
}

// A key as part of a file name: letters and digits as they are, anything else as "_", and no
// longer than a file name can be.
std::string keyInName(std::string_view key)
{
    std::string name;
    for (const char c : key.substr(0, 100)) {
        const bool plain =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        name += plain ? c : '_';
    }
    return name;
}

} // namespace

std::string databaseFile(const std::string &databasePath)
{
    return durable::resolved(databasePath);
}

std::string stem(const std::string &databasePath)
{
    std::string name = nameOf(databaseFile(databasePath));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mdb") == 0)
        name.resize(name.size() - 4);
    return name;
}

std::string backupsFolder(const std::string &databasePath)
{
    return beside(databaseFile(databasePath)) + "backups";
}

std::string backupFile(const std::string &databasePath, const std::string &timestamp, int n)
{
    return backupsFolder(databasePath) + "/" + stem(databasePath) + "-" + timestamp + numbered(n) +
           ".mdb";
}

std::string deletedFolder(const std::string &databasePath)
{
    return beside(databaseFile(databasePath)) + "deleted";
}

std::string deletionCopyFile(const std::string &databasePath, const std::string &timestamp,
                             std::string_view key, int n)
{
    return deletedFolder(databasePath) + "/" + timestamp + "-" + keyInName(key) + numbered(n) +
           ".json";
}

bool isDeletionCopyName(std::string_view name)
{
    // "20261207-134700-" then the key, which names never hold a point in, then ".json".
    constexpr std::string_view kEnd = ".json";
    const auto digits = [&](std::size_t from, std::size_t count) {
        return name.substr(from, count).find_first_not_of("0123456789") == std::string_view::npos;
    };
    return name.size() > 16 + kEnd.size() && digits(0, 8) && name[8] == '-' && digits(9, 6) &&
           name[15] == '-' && name.ends_with(kEnd) && name.find('.') == name.size() - kEnd.size();
}

std::string restoredCopyFile(const std::string &copyPath, int n)
{
    const std::string base =
        copyPath.ends_with(".json") ? copyPath.substr(0, copyPath.size() - 5) : copyPath;
    return base + ".restored" + numbered(n) + ".json";
}

std::string historyFolder(const std::string &databasePath)
{
    return beside(databaseFile(databasePath)) + "history";
}

std::string historyFile(const std::string &databasePath)
{
    return historyFolder(databasePath) + "/" + stem(databasePath) + "-history.db";
}

std::string renumberingMarker(const std::string &databasePath)
{
    return historyFolder(databasePath) + "/" + stem(databasePath) + "-history.renumbering";
}

std::string asideHistoryFile(const std::string &databasePath, const std::string &timestamp, int n)
{
    return historyFolder(databasePath) + "/" + stem(databasePath) +
           "-history-of-another-database-" + timestamp + numbered(n) + ".db";
}

std::string historyBackupFile(const std::string &databasePath, const std::string &backupFile)
{
    // The backup's name after the stem: "-<date>-<time>[-n].mdb".
    const std::string name = nameOf(backupFile);
    const std::string prefix = stem(databasePath);
    const std::string rest = name.substr(std::min(prefix.size(), name.size()));
    const std::string stamp = rest.size() > 4 ? rest.substr(0, rest.size() - 4) : rest;
    return beside(backupFile) + prefix + "-history" + stamp + ".db";
}

std::string beforeRestoreFile(const std::string &databasePath, const std::string &timestamp, int n)
{
    return databaseFile(databasePath) + ".before-restore-" + timestamp + numbered(n);
}

std::string restoringFile(const std::string &databasePath)
{
    return databaseFile(databasePath) + ".restoring";
}

std::vector<std::string> recoveryFiles(const std::string &databasePath, std::string_view key,
                                       const std::string &timestamp,
                                       const std::vector<std::string> &fallbackFolders)
{
    const std::string file = databaseFile(databasePath);
    const std::string name =
        nameOf(file) + ".recovered-" + std::string(key) + "-" + timestamp + ".txt";
    std::vector<std::string> files{beside(file) + name};
    for (const std::string &folder : fallbackFolders)
        if (!folder.empty())
            files.push_back(folder + "/" + name);
    return files;
}

} // namespace quillet::places
