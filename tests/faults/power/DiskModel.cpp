#include "faults/power/DiskModel.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace quillet::test {

namespace {

std::string normal(const std::string &path)
{
    std::string text = std::filesystem::absolute(path).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string readAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Puts bytes at offset, the file growing with zeros up to there when it is shorter, as a write
// past the end leaves a hole that reads as zeros.
void place(std::string &file, std::int64_t offset, std::string_view bytes)
{
    const auto start = static_cast<std::size_t>(offset);
    if (file.size() < start + bytes.size())
        file.resize(start + bytes.size(), '\0');
    file.replace(start, bytes.size(), bytes);
}

} // namespace

DiskModel::DiskModel(const std::string &root)
    : m_root(std::filesystem::canonical(root).string())
{
    add(true);
    scan(0, m_root);
}

void DiskModel::scan(Node folder, const std::string &path)
{
    for (const auto &entry : std::filesystem::directory_iterator(path)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink())
            continue;
        const Node node = add(entry.is_directory());
        m_nodes[static_cast<std::size_t>(folder)].names[name] = node;
        m_nodes[static_cast<std::size_t>(folder)].durableNames[name] = node;
        if (entry.is_directory()) {
            scan(node, entry.path().string());
        } else {
            Entry &file = m_nodes[static_cast<std::size_t>(node)];
            file.durable = readAll(entry.path());
            file.cached = file.durable;
        }
    }
}

DiskModel::Node DiskModel::add(bool folder)
{
    m_nodes.emplace_back();
    m_nodes.back().folder = folder;
    return static_cast<Node>(m_nodes.size() - 1);
}

bool DiskModel::covers(const std::string &path) const
{
    const std::string text = normal(path);
    return text == m_root || text.starts_with(m_root + "/");
}

std::vector<std::string> DiskModel::parts(const std::string &path) const
{
    const std::string text = normal(path);
    if (text == m_root)
        return {};
    if (!text.starts_with(m_root + "/"))
        throw std::logic_error(path + " is not on the simulated disk at " + m_root);
    std::vector<std::string> found;
    std::size_t start = m_root.size() + 1;
    while (start <= text.size()) {
        const std::size_t slash = std::min(text.find('/', start), text.size());
        if (slash > start)
            found.push_back(text.substr(start, slash - start));
        start = slash + 1;
    }
    return found;
}

DiskModel::Node DiskModel::walk(const std::vector<std::string> &names, std::size_t count) const
{
    Node node = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Entry &folder = m_nodes[static_cast<std::size_t>(node)];
        const auto next = folder.names.find(names[i]);
        if (!folder.folder || next == folder.names.end())
            return kNone;
        node = next->second;
    }
    return node;
}

DiskModel::Node DiskModel::find(const std::string &path) const
{
    if (!covers(path))
        return kNone;
    const std::vector<std::string> names = parts(path);
    return walk(names, names.size());
}

DiskModel::Node DiskModel::folderOf(const std::string &path) const
{
    if (!covers(path))
        return kNone;
    const std::vector<std::string> names = parts(path);
    if (names.empty())
        return kNone;
    const Node folder = walk(names, names.size() - 1);
    return folder != kNone && isFolder(folder) ? folder : kNone;
}

const std::string &DiskModel::contents(Node file) const
{
    return m_nodes[static_cast<std::size_t>(file)].cached;
}

DiskModel::Node DiskModel::createFile(const std::string &path)
{
    const Node folder = folderOf(path);
    if (folder == kNone)
        throw std::logic_error("no folder on the simulated disk for " + path);
    const Node file = add(false);
    m_nodes[static_cast<std::size_t>(folder)].names[parts(path).back()] = file;
    return file;
}

DiskModel::Node DiskModel::makeFolder(const std::string &path)
{
    const Node parent = folderOf(path);
    if (parent == kNone)
        throw std::logic_error("no folder on the simulated disk for " + path);
    const Node folder = add(true);
    m_nodes[static_cast<std::size_t>(parent)].names[parts(path).back()] = folder;
    return folder;
}

void DiskModel::write(Node file, std::int64_t offset, std::string_view bytes)
{
    Entry &entry = m_nodes[static_cast<std::size_t>(file)];
    place(entry.cached, offset, bytes);
    entry.pending.push_back({false, offset, std::string(bytes)});
}

void DiskModel::truncate(Node file, std::int64_t size)
{
    Entry &entry = m_nodes[static_cast<std::size_t>(file)];
    entry.cached.resize(static_cast<std::size_t>(size), '\0');
    entry.pending.push_back({true, size, {}});
}

void DiskModel::remove(const std::string &path)
{
    const Node folder = folderOf(path);
    if (folder == kNone ||
        m_nodes[static_cast<std::size_t>(folder)].names.erase(parts(path).back()) == 0)
        throw std::logic_error("nothing to remove on the simulated disk at " + path);
}

// A rename between two folders changes the names of both, each made durable by its own
// folder's sync; the program renames only within one folder.
void DiskModel::rename(const std::string &from, const std::string &to)
{
    const Node source = folderOf(from);
    const Node target = folderOf(to);
    const Node node = find(from);
    if (source == kNone || target == kNone || node == kNone)
        throw std::logic_error("cannot rename " + from + " to " + to + " on the simulated disk");
    m_nodes[static_cast<std::size_t>(source)].names.erase(parts(from).back());
    m_nodes[static_cast<std::size_t>(target)].names[parts(to).back()] = node;
}

void DiskModel::link(const std::string &from, const std::string &to)
{
    const Node target = folderOf(to);
    const Node node = find(from);
    if (target == kNone || node == kNone)
        throw std::logic_error("cannot link " + from + " to " + to + " on the simulated disk");
    m_nodes[static_cast<std::size_t>(target)].names[parts(to).back()] = node;
}

void DiskModel::sync(Node node)
{
    Entry &entry = m_nodes[static_cast<std::size_t>(node)];
    if (entry.folder) {
        entry.durableNames = entry.names;
    } else {
        entry.durable = entry.cached;
        entry.pending.clear();
    }
}

DiskModel::CutReport DiskModel::cut(std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    CutReport report;
    for (Entry &entry : m_nodes) {
        if (entry.folder) {
            for (const auto &[name, node] : entry.names) {
                const auto kept = entry.durableNames.find(name);
                if (kept == entry.durableNames.end() || kept->second != node)
                    ++report.namesUndone;
            }
            for (const auto &[name, node] : entry.durableNames)
                if (!entry.names.contains(name))
                    ++report.namesUndone;
            entry.names = entry.durableNames;
            continue;
        }
        std::string disk = entry.durable;
        for (const Change &change : entry.pending) {
            if (random() % 2 == 0) {
                ++report.writesLost;
                continue;
            }
            ++report.writesKept;
            if (change.truncate) {
                disk.resize(static_cast<std::size_t>(change.offset), '\0');
                continue;
            }
            std::string_view bytes = change.bytes;
            std::int64_t offset = change.offset;
            const std::int64_t first = offset / kSector;
            const std::int64_t last =
                (offset + static_cast<std::int64_t>(bytes.size()) - 1) / kSector;
            if (last > first && random() % 4 == 0) {
                // Torn: the sectors on one side of a boundary inside the write reach the disk.
                const std::int64_t boundary =
                    (first + 1 +
                     static_cast<std::int64_t>(random() %
                                               static_cast<std::uint64_t>(last - first))) *
                    kSector;
                const auto split = static_cast<std::size_t>(boundary - offset);
                if (random() % 2 == 0) {
                    bytes = bytes.substr(0, split);
                } else {
                    bytes = bytes.substr(split);
                    offset = boundary;
                }
                ++report.writesTorn;
            }
            place(disk, offset, bytes);
        }
        entry.durable = disk;
        entry.cached = std::move(disk);
        entry.pending.clear();
    }
    return report;
}

void DiskModel::writeOut() const
{
    for (const auto &entry : std::filesystem::directory_iterator(m_root))
        std::filesystem::remove_all(entry.path());
    writeOut(0, m_root);
}

void DiskModel::writeOut(Node folder, const std::string &path) const
{
    for (const auto &[name, node] : m_nodes[static_cast<std::size_t>(folder)].durableNames) {
        const std::string child = path + "/" + name;
        const Entry &entry = m_nodes[static_cast<std::size_t>(node)];
        if (entry.folder) {
            std::filesystem::create_directory(child);
            writeOut(node, child);
            continue;
        }
        std::ofstream out(child, std::ios::binary | std::ios::trunc);
        out.write(entry.durable.data(), static_cast<std::streamsize>(entry.durable.size()));
        if (!out.flush())
            throw std::runtime_error("cannot write " + child);
    }
}

} // namespace quillet::test
