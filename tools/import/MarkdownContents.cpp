#include "tools/import/MarkdownContents.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillet::dbtool {

bool isMarkdownName(std::string_view name)
{
    if (name.size() <= 3)
        return false;
    const std::string_view end = name.substr(name.size() - 3);
    return end == ".md" || end == ".MD" || end == ".Md" || end == ".mD";
}

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Listing
{
    DIR *dir = nullptr;
    FolderId id;
};

// The folders being looked through, from the one asked about down; closed however the
// looking ends.
class OpenListings
{
public:
    OpenListings() = default;
    OpenListings(const OpenListings &) = delete;
    OpenListings &operator=(const OpenListings &) = delete;
    ~OpenListings()
    {
        while (!m_open.empty())
            pop();
    }

    bool empty() const { return m_open.empty(); }
    Listing &top() { return m_open.back(); }
    void push(Listing listing) { m_open.push_back(listing); }
    void pop()
    {
        ::closedir(m_open.back().dir);
        m_open.pop_back();
    }
    bool holds(const FolderId &id) const
    {
        for (const Listing &listing : m_open)
            if (listing.id == id)
                return true;
        return false;
    }

private:
    std::vector<Listing> m_open;
};

// An entry that fstatat could not examine: the reading leaves out a link to nothing not named
// .md, and refuses anything else.
bool countsUnexamined(int at, const char *name, int error)
{
    struct stat info
    {
    };
    return isMarkdownName(name) || (error != ENOENT && error != ELOOP) ||
           ::fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(info.st_mode);
}

} // namespace

bool MarkdownFinder::holdsMarkdown(int at, const std::string &name)
{
    OpenListings open;
    // Opens a folder to be looked through; the answer instead when it is already known.
    const auto enter = [&](int in, const char *entry) -> std::optional<bool> {
        const int fd = ::openat(in, entry, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info
        {
        };
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            if (fd >= 0)
                ::close(fd);
            return true;
        }
        const FolderId id{info.st_dev, info.st_ino};
        const auto known = m_known.find(id);
        // A folder being looked through, reached again by a link, is a loop the reading
        // refuses: it must reach it.
        if (known != m_known.end() || open.holds(id)) {
            ::close(fd);
            return known == m_known.end() || known->second;
        }
        DIR *dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return true;
        }
        open.push(Listing{dir, id});
        return std::nullopt;
    };
    if (const std::optional<bool> answer = enter(at, name.c_str()))
        return *answer;
    while (!open.empty()) {
        DIR *const dir = open.top().dir;
        errno = 0;
        const dirent *found = ::readdir(dir);
        bool markdown = found == nullptr && errno != 0;
        if (found) {
            const std::string entry = found->d_name;
            if (entry.front() == '.')
                continue; // hidden, or the folder itself and the one above
            struct stat info
            {
            };
            if (::fstatat(::dirfd(dir), entry.c_str(), &info, 0) != 0)
                markdown = countsUnexamined(::dirfd(dir), entry.c_str(), errno);
            else if (S_ISREG(info.st_mode))
                markdown = isMarkdownName(entry);
            else if (S_ISDIR(info.st_mode)) {
                const std::optional<bool> inside = enter(::dirfd(dir), entry.c_str());
                if (!inside)
                    continue; // looked through next
                markdown = *inside;
            }
            if (!markdown)
                continue;
        }
        if (markdown) {
            // Every folder being looked through holds it.
            for (; !open.empty(); open.pop())
                m_known[open.top().id] = true;
            return true;
        }
        m_known[open.top().id] = false;
        open.pop();
    }
    return false;
}

} // namespace quillet::dbtool
