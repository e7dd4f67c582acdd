#include "tools/ImportReaders.h"
#include "tools/MarkdownNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::dbtool {

namespace {

namespace names = markdownnames;

[[noreturn]] void refuse(const std::string &path, const std::string &why)
{
    throw ImportRefused(path + ": " + why + ".");
}

bool isMarkdownName(const std::string &name)
{
    if (name.size() <= 3)
        return false;
    const std::string end = name.substr(name.size() - 3);
    return end == ".md" || end == ".MD" || end == ".Md" || end == ".mD";
}

// The whole file. Opened without waiting, so that a pipe put in a file's place cannot hang
// the import, and checked again to be a plain file once open.
std::string readFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
    struct stat info
    {
    };
    bool used = false;           // taken as a folder's note
    const Entry *note = nullptr; // for a folder, the file of its name beside it
};

// One folder being read: its path, the item it stands for, and the folder above it.
struct Frame
{
    std::string path;
    std::size_t item;
    std::size_t above; // index of the frame above; itself for the folder imported
    dev_t device;
    ino_t inode;
    bool hasNote = false;
};

class FolderReader
{
public:
    FolderReader(ImportedOutline &outline, ImportReport &report)
        : m_outline(outline)
        , m_report(report)
    {
    }

    void read(const std::string &root, const struct stat &info)
    {
        m_frames.push_back(Frame{root, 0, 0, info.st_dev, info.st_ino});
        for (std::vector<std::size_t> pending{0}; !pending.empty();) {
            const std::size_t frame = pending.back();
            pending.pop_back();
            for (const std::size_t below : readOne(frame))
                pending.push_back(below);
        }
    }

private:
    std::vector<Entry> list(const std::string &folder)
    {
        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            refuse(folder, std::string("cannot be read: ") + std::strerror(errno));
        std::vector<Entry> entries;
        while (const dirent *found = ::readdir(dir)) {
            const std::string name = found->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "/" + name;
            if (name.front() == '.') {
                m_report.skipped.push_back(path + ": hidden, skipped");
                continue;
            }
            Entry entry{name};
            if (::stat(path.c_str(), &entry.info) != 0) {
                const std::string why = std::strerror(errno);
                if (isMarkdownName(name)) {
                    ::closedir(dir);
                    refuse(path, "cannot be read: " + why);
                }
                m_report.skipped.push_back(path + ": cannot be read (" + why + "), not imported");
                continue;
            }
            entry.folder = S_ISDIR(entry.info.st_mode);
            if (!entry.folder && !(S_ISREG(entry.info.st_mode) && isMarkdownName(name))) {
                m_report.skipped.push_back(path + (S_ISREG(entry.info.st_mode)
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
                m_outline.items[frame.item].note = text(frame.path + "/" + note->name);
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
            const std::string path = frame.path + "/" + entry->name;
            if (!entry->folder) {
                m_outline.add(frame.item, std::move(title), text(path));
                continue;
            }
            checkNoLoop(frameIndex, path, entry->info);
            const std::size_t item = m_outline.add(frame.item, std::move(title));
            if (entry->note)
                m_outline.items[item].note = text(frame.path + "/" + entry->note->name);
            m_frames.push_back(Frame{path, item, frameIndex, entry->info.st_dev, entry->info.st_ino,
                                     entry->note != nullptr});
            below.push_back(m_frames.size() - 1);
        }
        // Last first: the caller's stack then reads the first folder next, so that the report
        // lists what was skipped in the order of the outline.
        std::reverse(below.begin(), below.end());
        return below;
    }

    // A folder that is one of the folders it sits in, through a link, would be read forever.
    void checkNoLoop(std::size_t frame, const std::string &path, const struct stat &info)
    {
        for (std::size_t at = frame;; at = m_frames[at].above) {
            if (m_frames[at].device == info.st_dev && m_frames[at].inode == info.st_ino)
                refuse(path, "is a link back to " + m_frames[at].path +
                                 ", which holds it (a link "
                                 "loop)");
            if (at == 0)
                return;
        }
    }

    std::string text(const std::string &path)
    {
        std::string note = readFile(path);
        m_report.latin1 += toUtf8(note) ? 1 : 0;
        return note;
    }

    ImportedOutline &m_outline;
    ImportReport &m_report;
    std::vector<Frame> m_frames;
};

} // namespace

ImportedOutline readMarkdownFolder(const std::string &path, ImportReport &report)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        refuse(path, std::string("cannot be read: ") + std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        refuse(path, "is not a folder");
    ImportedOutline outline;
    FolderReader(outline, report).read(path, info);
    return outline;
}

} // namespace quillet::dbtool
