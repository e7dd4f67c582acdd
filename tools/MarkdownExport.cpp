#include "store/DurableFiles.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "tools/ExportFiles.h"
#include "tools/ExportedItems.h"
#include "tools/MarkdownNames.h"
#include "tools/Transfer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

void writeNote(const std::string &path, const Value &note, mode_t mode)
{
    const int fd = exportfiles::createFile(path, mode);
    try {
        if (const std::optional<std::string_view> bytes = note.textView())
            exportfiles::writeAll(fd, *bytes, path);
        else if (const std::optional<std::string> number = note.toText())
            exportfiles::writeAll(fd, *number, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot write " + path);
}

// Every file and folder written is put on the disk with one call for the whole file system,
// rather than one sync per file: a Markdown folder of a large outline holds tens of thousands.
void syncAll(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0) {
        const int saved = errno;
        if (fd >= 0)
            ::close(fd);
        throw std::system_error(saved, std::generic_category(),
                                "cannot write " + folder + " to the disk");
    }
    ::close(fd);
}

} // namespace

ExportReport exportMarkdownFolder(const std::string &path, const std::string &given)
{
    std::string folder = given;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat info
    {
    };
    if (::lstat(folder.c_str(), &info) == 0)
        throw std::runtime_error(folder + " already exists; the export makes a new folder and "
                                          "never writes into one.");
    schema::verifyFile(path);
    Connection db(path, Connection::Mode::ReadOnly);
    schema::check(db);
    db.exec("BEGIN");
    const mode_t mode = exportfiles::notesMode(path);
    // Written under another name beside it, so that the folder appears whole or not at all.
    const std::string partial = folder + ".partial";
    try {
        exportfiles::makeFolder(partial, mode);
    } catch (const std::system_error &error) {
        if (error.code() != std::errc::file_exists)
            throw;
        throw exportfiles::inTheWay(partial);
    }
    ExportReport report;
    try {
        const OutlineOrder order = outlineOrder(db);
        // folders[d - 1] is the folder the items of depth d go in, positions[d - 1] the number
        // of the last of them so far.
        std::vector<std::string> folders{partial};
        std::vector<std::size_t> positions{0};
        forEachExported(db, order, [&](const ExportedItem &item) {
            const std::size_t level = static_cast<std::size_t>(item.depth);
            folders.resize(level);
            positions.resize(level);
            bool shortened = false;
            const std::string name = markdownnames::nameOf(++positions[level - 1], item.title,
                                                           !item.hasChildren, shortened);
            report.shortened += shortened ? 1 : 0;
            ++report.items;
            const std::string at = folders[level - 1] + "/" + name;
            if (!item.hasChildren) {
                writeNote(at, item.note, mode);
                return;
            }
            exportfiles::makeFolder(at, mode);
            writeNote(at + "/index.md", item.note, mode);
            folders.push_back(at);
            positions.push_back(0);
        });
        syncAll(partial);
        if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, folder.c_str(), RENAME_NOREPLACE) != 0)
            throw std::system_error(errno, std::generic_category(),
                                    "cannot rename " + partial + " to " + folder);
        durable::sync(durable::folderOf(folder));
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(partial, ignored);
        throw;
    }
    db.exec("COMMIT");
    return report;
}

} // namespace quillet::dbtool
