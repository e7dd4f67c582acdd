#include "keeping/DurableFiles.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "tools/export/ExportFiles.h"
#include "tools/export/ExportedItems.h"
#include "tools/export/OutlineExport.h"
#include "tools/shared/MarkdownNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

void writeNote(const std::string &path, const Value &note, const exportfiles::NotesMode &mode,
               int folder)
{
    const int fd = exportfiles::createFile(path, mode, folder);
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

// The folders being written, from the one exported down to the current one: each with its path
// and an open descriptor, so that files are made in it by name.
class OpenFolders
{
public:
    OpenFolders() = default;
    OpenFolders(const OpenFolders &) = delete;
    OpenFolders &operator=(const OpenFolders &) = delete;
    ~OpenFolders() { closeFrom(0); }

    void push(std::string path, int fd)
    {
        m_paths.push_back(std::move(path));
        m_fds.push_back(fd);
    }
    // Keeps the first count folders open.
    void closeFrom(std::size_t count)
    {
        while (m_fds.size() > count) {
            ::close(m_fds.back());
            m_fds.pop_back();
            m_paths.pop_back();
        }
    }
    const std::string &path(std::size_t level) const { return m_paths[level]; }
    int fd(std::size_t level) const { return m_fds[level]; }

private:
    std::vector<std::string> m_paths;
    std::vector<int> m_fds;
};

// Every file and folder written is put on the disk with one call for the whole file system,
// rather than one sync per file: a Markdown folder of a large outline holds tens of thousands.
void syncAll(int folder, const std::string &path)
{
    if (::syncfs(folder) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot write " + path + " to the disk");
}

// For each item in the order the export visits them, the number of names on the deepest path
// inside the folder that runs through it: a leaf at depth d ends a path of d names, an item
// with children at depth d one of d + 1 (its index.md). In one pass: an item's number goes to
// the item above it once the items below it are done. The rows left out of the outline follow
// as leaves under one item at the top.
std::vector<std::size_t> deepestPaths(const OutlineOrder &order)
{
    const std::vector<OutlineItem> &items = order.items;
    std::vector<std::size_t> deepest(items.size());
    std::vector<std::size_t> above; // the items the next one may be below, deepest last
    const auto done = [&] {
        const std::size_t item = above.back();
        above.pop_back();
        if (!above.empty())
            deepest[above.back()] = std::max(deepest[above.back()], deepest[item]);
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        while (!above.empty() && items[above.back()].depth >= items[i].depth)
            done();
        const bool hasChildren = i + 1 < items.size() && items[i + 1].depth > items[i].depth;
        deepest[i] = static_cast<std::size_t>(items[i].depth) + (hasChildren ? 1 : 0);
        above.push_back(i);
    }
    while (!above.empty())
        done();
    if (!order.leftOut.empty())
        deepest.insert(deepest.end(), order.leftOut.size() + 1, 2);
    return deepest;
}

// Each item's longest name, in the order the export visits them. Throws, before anything is
// written, when an item would get less than the shortest name.
std::vector<std::size_t> longestNames(const OutlineOrder &order)
{
    std::vector<std::size_t> longest;
    for (const std::size_t components : deepestPaths(order)) {
        const std::optional<std::size_t> name = markdownnames::longestName(components);
        if (!name)
            throw std::runtime_error(
                "the outline is too deep for a Markdown folder: a path in it would hold " +
                std::to_string(components) + " names, and the names along a path share " +
                std::to_string(markdownnames::kPathBudget) + " bytes, which gives names of " +
                std::to_string(markdownnames::kShortestName) + " bytes to at most " +
                std::to_string(markdownnames::kPathBudget / (markdownnames::kShortestName + 1)) +
                ". Nothing was written.");
        longest.push_back(*name);
    }
    return longest;
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
    const exportfiles::NotesMode mode = exportfiles::notesMode(path);
    const OutlineOrder order = outlineOrder(db);
    const std::vector<std::size_t> longest = longestNames(order);
    // Written under another name beside it, so that the folder appears whole or not at all.
    const std::string partial = folder + ".partial";
    OpenFolders open;
    open.push(partial, exportfiles::makeFolder(partial, mode));
    ExportReport report;
    try {
        // The items of depth d go in the open folder d - 1; positions[d - 1] is the number of
        // the last of them so far.
        std::vector<std::size_t> positions{0};
        std::size_t visited = 0;
        forEachExported(db, order, [&](const ExportedItem &item) {
            const std::size_t level = static_cast<std::size_t>(item.depth);
            open.closeFrom(level);
            positions.resize(level);
            bool shortened = false;
            // Every row of the order is there to visit: it was read in this transaction.
            const std::string name =
                markdownnames::nameOf(++positions[level - 1], item.title, !item.hasChildren,
                                      longest.at(visited++), shortened);
            report.shortened += shortened ? 1 : 0;
            ++report.items;
            const std::string at = open.path(level - 1) + "/" + name;
            if (!item.hasChildren) {
                writeNote(at, item.note, mode, open.fd(level - 1));
                return;
            }
            open.push(at, exportfiles::makeFolder(at, mode, open.fd(level - 1)));
            writeNote(at + "/index.md", item.note, mode, open.fd(level));
            positions.push_back(0);
        });
        syncAll(open.fd(0), partial);
        open.closeFrom(0);
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
