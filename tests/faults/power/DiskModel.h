#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::test {

// What a disk holds of the files and folders below one folder, the root: for each file, the
// bytes on the disk and the writes and truncates made since its last sync, which so far are
// only in the cache; for each folder, the names on the disk and the names as they are now.
// A file's sync makes its bytes durable; a folder's sync makes its names durable (a file
// created, removed or renamed in it). Nothing else does.
//
// A power cut keeps a subset of the changes not yet durable, chosen by a seed: each write or
// truncate is kept or lost, one kept over several 512-byte sectors may be torn at a sector
// boundary (only the sectors before it, or only those after, reach the disk), and every change
// of a folder's names not made durable is undone. Files and folders are named by absolute
// paths; the model knows only what is below the root.
class DiskModel
{
public:
    using Node = int;
    static constexpr Node kNone = -1;
    static constexpr std::int64_t kSector = 512;

    // Takes everything below root now as durable.
    explicit DiskModel(const std::string &root);

    const std::string &root() const { return m_root; }
    // True when path is the root or below it.
    bool covers(const std::string &path) const;
    // The node a path names now, or kNone.
    Node find(const std::string &path) const;
    bool isFolder(Node node) const { return m_nodes[static_cast<std::size_t>(node)].folder; }
    // The folder that holds the name path; kNone when there is none.
    Node folderOf(const std::string &path) const;
    // What a read of the file sees now.
    const std::string &contents(Node file) const;

    // Changes, each in the cache only until a sync makes it durable. A name that is taken is
    // replaced (the caller refuses first where replacing is wrong); a folder of the path that
    // is not there is an error (std::logic_error).
    Node createFile(const std::string &path);
    Node makeFolder(const std::string &path);
    void write(Node file, std::int64_t offset, std::string_view bytes);
    void truncate(Node file, std::int64_t size);
    void remove(const std::string &path);
    void rename(const std::string &from, const std::string &to);
    void link(const std::string &from, const std::string &to);
    void sync(Node node);

    struct CutReport
    {
        long long writesKept = 0;
        long long writesLost = 0;
        long long writesTorn = 0; // of those kept, torn at a sector boundary
        long long namesUndone = 0;
    };
    // The power cut: what the disk holds afterwards becomes the whole state, all of it durable.
    CutReport cut(std::uint64_t seed);

    // Writes the durable state onto the real folder below the root, in place of whatever is
    // there: the files as they are after the machine comes back. Throws std::runtime_error.
    void writeOut() const;

private:
    struct Change
    {
        bool truncate = false;
        std::int64_t offset = 0; // a write's start, or a truncate's size
        std::string bytes;
    };

    struct Entry
    {
        bool folder = false;
        std::string durable; // a file's bytes on the disk
        std::string cached;  // a file's bytes as reads see them
        std::vector<Change> pending;
        std::map<std::string, Node> names;        // a folder's names now
        std::map<std::string, Node> durableNames; // a folder's names on the disk
    };

    std::vector<std::string> parts(const std::string &path) const;
    Node walk(const std::vector<std::string> &parts, std::size_t count) const;
    Node add(bool folder);
    void scan(Node folder, const std::string &path);
    void writeOut(Node folder, const std::string &path) const;

    std::string m_root;
    std::vector<Entry> m_nodes; // node 0 is the root
};

} // namespace quillet::test
