#include "tools/import/FrontMatter.h"
#include "tools/import/ImportReaders.h"
#include "tools/import/MarkdownContents.h"
#include "tools/shared/MarkdownNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

namespace names = markdownnames;

[[noreturn]] void refuse(const std::string &path, const std::string &why)
{
    throw ImportRefused(path + ": " + why + ".");
}

// The whole file name in the folder, path naming it in messages. Opened without waiting, so
// that a pipe put in a file's place cannot hang the import, and checked again to be a plain
// file once open.
std::string readFile(int folder, const std::string &name, const std::string &path)
{
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        refuse(path, std::string("cannot be read: ") + std::strerror(errno));
    struct stat info
    {
    };
    std::string text;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        refuse(path, "is no longer a plain file");
    }
    // Read to the size the file has, then on until the end in case it grew: the notes stay in
    // memory until they are written, so each holds only its own bytes.
    text.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        char more[4096];
        const bool full = done == text.size();
        const ssize_t n = full ? ::read(fd, more, sizeof more)
                               : ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            refuse(path, std::string("cannot be read: ") + std::strerror(saved));
        }
        if (n == 0)
            break;
        if (full)
            text.append(more, static_cast<std::size_t>(n));
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    if (text.capacity() > text.size() + text.size() / 4)
        text.shrink_to_fit();
    return text;
}

struct Entry
{
    std::string name;
    bool folder = false;
    bool used = false;           // taken as a folder's note
    const Entry *note = nullptr; // for a folder, the file of its name beside it
};

// One folder being read: its name in the folder above, its path (for messages only), the item
// it stands for, and the folder above it.
struct Frame
{
    std::string name;
    std::string path;
    std::size_t item = 0;
    std::size_t above = 0; // index of the frame above; itself for the folder imported
    bool hasNote = false;
    bool named = false; // its item titled by its name in a folder not numbered as an export's
    dev_t device = 0;   // once open
    ino_t inode = 0;
};

// The folders open from the one imported down to the one being read, each by its frame. Every
// name is opened relative to its folder's descriptor, so that no path is ever longer than one
// name: a folder placed deep, or holding folders deeper than a path may reach, reads whole.
class OpenPath
{
public:
    OpenPath() = default;
    OpenPath(const OpenPath &) = delete;
    OpenPath &operator=(const OpenPath &) = delete;
    ~OpenPath()
    {
        for (const auto &[frame, fd] : m_open)
            ::close(fd);
    }

    void push(std::size_t frame, int fd) { m_open.emplace_back(frame, fd); }
    // Closes the folders below the frame's, which is open.
    void closeBelow(std::size_t frame)
    {
        while (m_open.back().first != frame) {
            ::close(m_open.back().second);
            m_open.pop_back();
        }
    }
    int current() const { return m_open.back().second; }

private:
    std::vector<std::pair<std::size_t, int>> m_open;
};

class FolderReader
{
public:
    FolderReader(ImportedOutline &outline, ImportReport &report)
        : m_outline(outline)
        , m_report(report)
    {
    }

    void read(const std::string &root, int fd)
    {
        m_open.push(0, fd);
        m_frames.push_back(Frame{root, root});
        opened(0, fd);
        for (std::vector<std::size_t> pending{0}; !pending.empty();) {
            const std::size_t frame = pending.back();
            pending.pop_back();
            for (const std::size_t below : readOne(frame))
                pending.push_back(below);
        }
    }

private:
    // Opens a folder below the one imported. Depth first, the folder it is in is on the open
    // path.
    void open(std::size_t frameIndex)
    {
        const Frame &frame = m_frames[frameIndex];
        m_open.closeBelow(frame.above);
        const int fd =
            ::openat(m_open.current(), frame.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            refuse(frame.path, std::string("cannot be read: ") + std::strerror(errno));
        m_open.push(frameIndex, fd);
        opened(frameIndex, fd);
    }

    // Records which folder the frame is, refusing one that is a folder it sits in: reached
    // through a link, it would be read forever.
    void opened(std::size_t frameIndex, int fd)
    {
        struct stat info
        {
        };
        if (::fstat(fd, &info) != 0)
            refuse(m_frames[frameIndex].path,
                   std::string("cannot be read: ") + std::strerror(errno));
        for (std::size_t at = frameIndex; at != 0;) {
            at = m_frames[at].above;
            if (m_frames[at].device == info.st_dev && m_frames[at].inode == info.st_ino)
                refuse(m_frames[frameIndex].path,
                       "is a link back to " + m_frames[at].path + ", which holds it (a link loop)");
        }
        m_frames[frameIndex].device = info.st_dev;
        m_frames[frameIndex].inode = info.st_ino;
    }

    // The entries of the open folder that may be items. Hidden entries, files that are not
    // Markdown, folders with no Markdown in them and links to nothing are reported and left
    // out; a folder or a Markdown file that cannot be examined refuses the import, as the note
    // it holds would be lost.
    std::vector<Entry> list(const std::string &folder)
    {
        const int fd = m_open.current();
        const int listed = ::dup(fd);
        DIR *dir = listed < 0 ? nullptr : ::fdopendir(listed);
        if (!dir) {
            const int saved = errno;
            if (listed >= 0)
                ::close(listed);
            refuse(folder, std::string("cannot be read: ") + std::strerror(saved));
        }
        std::vector<Entry> entries;
        for (;;) {
            errno = 0;
            const dirent *found = ::readdir(dir);
            if (!found && errno != 0) {
                const int saved = errno;
                ::closedir(dir);
                refuse(folder, std::string("cannot be read whole: ") + std::strerror(saved));
            }
            if (!found)
                break;
            const std::string name = found->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "/" + name;
            if (name.front() == '.') {
                m_report.skipped.push_back(path + ": hidden, skipped");
                continue;
            }
            struct stat info
            {
            };
            if (::fstatat(fd, name.c_str(), &info, 0) != 0) {
                const int saved = errno;
                if (!isMarkdownName(name) && (saved == ENOENT || saved == ELOOP) &&
                    ::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(info.st_mode)) {
                    m_report.skipped.push_back(path + ": a link to nothing, not imported");
                    continue;
                }
                ::closedir(dir);
                refuse(path, std::string("cannot be read: ") + std::strerror(saved));
            }
            Entry entry{name, S_ISDIR(info.st_mode)};
            if (entry.folder && !m_finder.holdsMarkdown(fd, name)) {
                m_report.skipped.push_back(path + ": no Markdown file in it, not imported");
                continue;
            }
            if (!entry.folder && !(S_ISREG(info.st_mode) && isMarkdownName(name))) {
                m_report.skipped.push_back(path + (S_ISREG(info.st_mode)
                                                       ? ": not a Markdown file, not imported"
                                                       : ": not a plain file, not imported"));
                continue;
            }
            entries.push_back(std::move(entry));
        }
        ::closedir(dir);
        return entries;
    }

    // Reads one folder's items in name order; returns the frames of the folders inside it.
    std::vector<std::size_t> readOne(std::size_t frameIndex)
    {
        if (frameIndex != 0)
            open(frameIndex);
        const Frame frame = m_frames[frameIndex];
        std::vector<Entry> entries = list(frame.path);
        const auto named = [&](const std::string &name) -> Entry * {
            for (Entry &entry : entries)
                if (!entry.folder && !entry.used && entry.name == name)
                    return &entry;
            return nullptr;
        };
        // The folder's own note: a file of its name beside it was read with the folder above;
        // otherwise index.md, else README.md, inside it.
        if (frameIndex != 0 && !frame.hasNote) {
            Entry *note = named("index.md");
            if (!note)
                note = named("README.md");
            if (note) {
                note->used = true;
                ImportedItem &item = m_outline.items[frame.item];
                item.note = text(frame.path, note->name);
                if (frame.named && note->name == "index.md")
                    takeTitle(item.title, item.note);
            }
        }
        std::vector<Entry *> items;
        for (Entry &entry : entries)
            if (!entry.used)
                items.push_back(&entry);
        for (Entry *entry : items)
            if (entry->folder)
                if (Entry *beside = named(entry->name + ".md")) {
                    beside->used = true;
                    entry->note = beside;
                }
        std::erase_if(items, [](const Entry *entry) { return entry->used; });
        const auto stem = [](const Entry *entry) {
            return entry->folder ? entry->name : entry->name.substr(0, entry->name.size() - 3);
        };
        std::sort(items.begin(), items.end(), [&](const Entry *a, const Entry *b) {
            return names::naturalLess(stem(a), stem(b));
        });
        // The order numbers an export writes are dropped only when every item has one, so that
        // a folder of one's own with "10 tips" beside "Notes" keeps its titles whole.
        const bool numbered = std::all_of(items.begin(), items.end(), [&](const Entry *entry) {
            return names::hasOrderNumber(stem(entry));
        });
        std::vector<std::size_t> below;
        for (const Entry *entry : items) {
            std::string title = names::titleOf(stem(entry), numbered);
            m_report.latin1 += toUtf8(title) ? 1 : 0;
            const std::int64_t place = static_cast<std::int64_t>(m_places->size());
            m_places->push_back(frame.path + "/" + entry->name);
            if (!entry->folder) {
                std::string note = text(frame.path, entry->name);
                if (!numbered)
                    takeTitle(title, note);
                m_outline.add(frame.item, std::move(title), std::move(note), place);
                continue;
            }
            const std::size_t item = m_outline.add(frame.item, std::move(title), {}, place);
            if (entry->note)
                m_outline.items[item].note = text(frame.path, entry->note->name);
            m_frames.push_back(Frame{entry->name, frame.path + "/" + entry->name, item, frameIndex,
                                     entry->note != nullptr, !numbered});
            below.push_back(m_frames.size() - 1);
        }
        // Last first: the caller's stack then reads the first folder next, so that the report
        // lists what was skipped in the order of the outline.
        std::reverse(below.begin(), below.end());
        return below;
    }

    // Notes clients and static-site tools keep the real title in the front matter and a
    // mangled one in the file's name. An export's own numbered names are titles already, and
    // its notes' front matter is the user's text.
    void takeTitle(std::string &title, const std::string &note)
    {
        if (std::optional<std::string> given = frontMatterTitle(note)) {
            title = std::move(*given);
            ++m_report.frontMatterTitles;
        }
    }

    // The note in the open folder.
    std::string text(const std::string &folder, const std::string &name)
    {
        std::string note = readFile(m_open.current(), name, folder + "/" + name);
        m_report.latin1 += toUtf8(note) ? 1 : 0;
        return note;
    }

    ImportedOutline &m_outline;
    ImportReport &m_report;
    std::vector<Frame> m_frames;
    OpenPath m_open;
    MarkdownFinder m_finder;
    // Each item's path, by its place, for naming it should the import be refused.
    std::shared_ptr<std::vector<std::string>> m_places =
        std::make_shared<std::vector<std::string>>();

public:
    std::shared_ptr<const std::vector<std::string>> places() const { return m_places; }
};

} // namespace

ImportedOutline readMarkdownFolder(const std::string &path, ImportReport &report)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOTDIR)
        refuse(path, "is not a folder");
    if (fd < 0)
        refuse(path, std::string("cannot be read: ") + std::strerror(errno));
    ImportedOutline outline;
    FolderReader reader(outline, report);
    outline.placeName = [places = reader.places()](std::int64_t place) {
        return (*places)[static_cast<std::size_t>(place)];
    };
    reader.read(path, fd);
    return outline;
}

} // namespace quillet::dbtool
