#pragma once

#include "faults/power/DiskModel.h"
#include "keeping/FileOperations.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillet::test {

// A disk that loses power: every file below one folder, the database, its journal and the
// files kept beside it alike, is written through it, and it keeps in a DiskModel what of each
// is durable and what only in the cache. While it lives its VFS is the engine's default and it
// stands in for the file operations of the files kept beside the database, so both go through
// one model and one power cut.
//
// The files on the real disk are the cache: reads, and the calls it does not take over (stat,
// a directory listing), see what the program wrote. Nothing is synced for real; the model
// decides what a sync makes durable. The engine's own syncs are modelled as the engine's "unix"
// file layer makes them: a file's sync, the folder's sync after the first sync of a new journal,
// and the folder's sync after deleting a journal when the engine asks for one.
//
// Every change (a write, truncate, creation, removal, rename or sync) is counted. When the
// count reaches the change the cut was set before, the power goes: that change and every one
// after fail (the engine's I/O error, errno EIO) and nothing more reaches the model. restart()
// then writes onto the real folder what the disk holds after the cut, and the power is back.
class SimulatedDisk final : public durable::FileOperations
{
public:
    // The writes it keeps and the way it tears them: whole 512-byte sectors, never a part of
    // one, and never bytes outside a write.
    static constexpr int kSectorSize = 512;
    static const int kDeviceCharacteristics;

    explicit SimulatedDisk(const std::string &root);
    ~SimulatedDisk() override;
    SimulatedDisk(const SimulatedDisk &) = delete;
    SimulatedDisk &operator=(const SimulatedDisk &) = delete;

    // The power goes just before the change numbered change (from 1; 0: never), and the disk
    // keeps what seed chooses of what was not durable.
    void cutBefore(long long change, std::uint64_t seed);
    bool powerIsOff() const { return m_off; }
    // Changes counted so far, and the numbers of those that were syncs.
    long long changes() const { return m_changes; }
    const std::vector<long long> &syncs() const { return m_syncs; }
    // Files found below the root that were not made through the disk: a writer that goes
    // around it, which the model cannot cut.
    const std::vector<std::string> &strayFiles() const { return m_strays; }

    // After the cut (or at any time: the cut comes now): the files as they are when the
    // machine is back, written onto the real folder; the power is on and everything durable.
    DiskModel::CutReport restart();

    // The file operations of the files beside the database.
    int open(const char *path, int flags, mode_t mode) override;
    ssize_t write(int fd, const void *data, std::size_t size) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int rename(const char *from, const char *to) override;
    int link(const char *from, const char *to) override;
    int unlink(const char *path) override;
    int mkdir(const char *path, mode_t mode) override;

private:
    class Vfs;
    friend class Vfs;

    // Counts one change; false when the power is off, now or before, and the change must fail.
    bool change(bool isSync);
    // The model's node for a file found on the real disk; kNone, and a stray noted, when the
    // model does not know a file that is there.
    DiskModel::Node known(const std::string &path);

    DiskModel m_model;
    std::unique_ptr<Vfs> m_vfs;
    std::map<int, DiskModel::Node> m_open; // descriptors opened through the file operations
    long long m_changes = 0;
    long long m_cutBefore = 0;
    std::uint64_t m_seed = 0;
    bool m_off = false;
    std::vector<long long> m_syncs;
    std::vector<std::string> m_strays;
    durable::FileOperations *m_previous = nullptr;
};

} // namespace quillet::test
