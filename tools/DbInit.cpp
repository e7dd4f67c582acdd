#include "keeping/DurableFiles.h"
#include "keeping/FileOperations.h"
#include "store/Schema.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "tools/DbTool.h"
#include "tools/NewDatabase.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

namespace quillet::dbtool {

namespace {

// The main window's place and size in twips at first start: its outer frame 600 twips in from
// the screen's corner, and the notes window's design size inside the frame.
constexpr std::array<std::int64_t, 4> kWindowGeometry{600, 600, 14340, 9465};

void fill(Connection &db, std::string_view title)
{
    Statement item(db, "INSERT INTO mynodes (Kleidi, MyText, Keimeno) VALUES ('A', ?, '')");
    item.bind(1, title);
    item.run();

    Statement setting(db, "INSERT INTO parame (timilo) VALUES (?)");
    for (int position = 1; position <= Settings::kCount; ++position) {
        const std::int64_t value = position <= static_cast<int>(kWindowGeometry.size())
                                       ? kWindowGeometry[position - 1]
                                       : 0;
        setting.bind(1, value);
        setting.run();
        setting.reset();
    }
}

} // namespace

FileExists::FileExists(const std::string &path)
    : std::runtime_error(path + " already exists; quillet-db never overwrites a file.")
    , m_path(path)
{
}

void createDatabase(const std::string &path, const std::function<void(Connection &)> &fill)
{
    // lstat, so that a link counts as existing even when it points nowhere.
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) == 0)
        throw FileExists(path);

    // O_EXCL makes the creation itself the test: should anything appear at path after the
    // check above, open fails instead of opening it, and O_EXCL never follows a link.
    durable::FileOperations &files = durable::fileOperations();
    const int fd = files.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            throw FileExists(path);
        throw std::system_error(errno, std::generic_category(), "cannot create " + path);
    }
    files.close(fd);

    try {
        // The file exists now, empty, so read-write is enough; SQLite takes an empty file as a
        // new database. Not asking for create means that if the file vanished meanwhile,
        // SQLite fails instead of making one somewhere we did not check.
        Connection db(path, Connection::Mode::ReadWrite);
        db.useDurableCommits();
        Transaction transaction(db);
        db.exec(schema::creationSql);
        fill(db);
        transaction.commit();
    } catch (...) {
        // Everything went in one transaction, so the file holds nothing worth keeping; a
        // journal left by a failed commit would otherwise be replayed into a later file of the
        // same name.
        durable::remove(path);
        durable::remove(path + "-journal");
        throw;
    }
}

void initDatabase(const std::string &path, std::string_view title)
{
    createDatabase(path, [&](Connection &db) { fill(db, title); });
}

} // namespace quillet::dbtool
