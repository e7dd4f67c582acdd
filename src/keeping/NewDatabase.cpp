#include "keeping/NewDatabase.h"

#include "keeping/DurableFiles.h"
#include "keeping/FileOperations.h"
#include "store/Sqlite.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace quillet {

FileExists::FileExists(const std::string &path)
    : std::runtime_error(path + " already exists; quillet-db never overwrites a file.")
    , m_path(path)
{
}

namespace {

// Gives the finished file at partial the name path, never replacing what is there: a second
// name made with link, which fails when path is taken, then the first name removed. A file
// system without hard links gets a rename after a last look at path instead.
void putInPlace(const std::string &partial, const std::string &path)
{
    durable::FileOperations &files = durable::fileOperations();
    if (files.link(partial.c_str(), path.c_str()) == 0) {
        durable::remove(partial);
    } else if (errno == EEXIST) {
        throw FileExists(path);
    } else if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == ENOSYS) {
        struct stat info
        {
        };
        if (::lstat(path.c_str(), &info) == 0)
            throw FileExists(path);
        if (files.rename(partial.c_str(), path.c_str()) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot create " + path);
    } else {
        throw std::system_error(errno, std::generic_category(), "cannot create " + path);
    }
    // The new name, and the partial one gone, on the disk: the database now lasts.
    durable::sync(durable::folderOf(path));
}

} // namespace

void createDatabase(const std::string &path, const std::function<void(Connection &)> &fill,
                    mode_t mode)
{
    // lstat, so that a link counts as existing even when it points nowhere.
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) == 0)
        throw FileExists(path);

    // The database is made beside its name and takes the name only once it is whole and on the
    // disk: a crash or power cut part-way leaves no half-made file there, which the program
    // would refuse and init would not replace. What an interrupted run left under the partial
    // name goes first, its journal above all, which the engine would otherwise replay into the
    // new file.
    const std::string partial = path + ".partial";
    durable::remove(partial + "-journal");
    durable::remove(partial);
    durable::FileOperations &files = durable::fileOperations();
    // O_EXCL never follows a link, and fails should anything appear at the name meanwhile.
    const int fd = files.open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot create " + partial);
    files.close(fd);

    try {
        {
            // The file exists now, empty, so read-write is enough; SQLite takes an empty file
            // as a new database. Not asking for create means that if the file vanished
            // meanwhile, SQLite fails instead of making one somewhere we did not check.
            Connection db(partial, Connection::Mode::ReadWrite);
            db.useDurableCommits();
            Transaction transaction(db);
            newdatabase::makeTables(db);
            fill(db);
            transaction.commit();
        }
        putInPlace(partial, path);
    } catch (...) {
        // Everything went in one transaction, so the file holds nothing worth keeping.
        durable::remove(partial);
        durable::remove(partial + "-journal");
        throw;
    }
}

mode_t modeFromSource(const std::string &source)
{
    struct stat info
    {
    };
    if (::stat(source.c_str(), &info) != 0)
        return 0600;
    return info.st_mode & 0666;
}

namespace {

void fillStarter(Connection &db, const std::string &path, std::string_view title, Welcome welcome)
{
    if (welcome == Welcome::With)
        newdatabase::fillWelcomed(db, title, std::filesystem::absolute(path).string());
    else
        newdatabase::fillStarter(db, title);
}

} // namespace

void initDatabase(const std::string &path, std::string_view title, Welcome welcome)
{
    createDatabase(path, [&](Connection &db) { fillStarter(db, path, title, welcome); });
}

void initInPrivateFolder(const std::string &folder, Welcome welcome)
{
    durable::makeFolders(folder, 0700);
    const std::string path = folder + "/mydata.mdb";
    createDatabase(
        path, [&](Connection &db) { fillStarter(db, path, newdatabase::kStarterTitle, welcome); },
        0600);
}

} // namespace quillet
