#include "tools/import/DocumentSnapshot.h"

#include "tools/import/ImportedOutline.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

std::string temporaryFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : folder.string();
}

// Every page in one step: the document is locked for reading once, for the copying alone, and
// no write of its program can come between two steps and make the copy start over.
void copyWhole(Connection &document, Connection &copy)
{
    sqlite3_backup *backup = sqlite3_backup_init(copy.handle(), "main", document.handle(), "main");
    if (!backup)
        copy.fail(sqlite3_extended_errcode(copy.handle()), "Copying the document");
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return;
    // Busy once the wait of the document's connection ran out: its program writes it.
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
        throw ImportRefused(document.path() +
                            ": another program holds it locked, so it cannot be read. It may "
                            "be being saved by its program just now: try again when it is not.");
    document.fail(rc, "Copying the document");
}

} // namespace

DocumentSnapshot::DocumentSnapshot(const std::string &path)
{
    Connection document(path, Connection::Mode::ReadOnly);
    std::string name = temporaryFolder() + "/quillet-snapshot-XXXXXX";
    // Made for this user alone (0600), whatever the umask.
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw ImportRefused("a private copy of " + path + " cannot be made in " +
                            temporaryFolder() + ": " + std::strerror(errno) +
                            "; nothing was imported.");
    ::close(fd);
    m_file = std::move(name);
    try {
        m_copy.emplace(m_file, Connection::Mode::ReadWrite);
        // Scratch that nothing needs after a crash: no journal on disk, no syncs.
        m_copy->tryExec("PRAGMA journal_mode=MEMORY");
        m_copy->tryExec("PRAGMA synchronous=OFF");
        copyWhole(document, *m_copy);
    } catch (...) {
        m_copy.reset();
        ::unlink(m_file.c_str());
        throw;
    }
}

DocumentSnapshot::~DocumentSnapshot()
{
    m_copy.reset();
    ::unlink(m_file.c_str());
}

} // namespace quillet::dbtool
