#pragma once

#include <string>

namespace quillet {

// A shared lock on the notes database file, apart from the engine's own locks, held for as
// long as the program has the file open. Every user's copy of the program, and quillet-db
// restore and undelete, see it on the file itself (links followed) and refuse. Its descriptor
// must outlive the engine's connection: closing any descriptor of a file drops the engine's
// locks on it in this process.
class InUseLock
{
public:
    InUseLock() = default;
    // Takes the lock when the file can be opened; a file that cannot is left to the engine to
    // report.
    explicit InUseLock(const std::string &databasePath);
    ~InUseLock();
    InUseLock(const InUseLock &) = delete;
    InUseLock &operator=(const InUseLock &) = delete;

private:
    int m_fd = -1;
};

// True while a copy of the program has the database open: while an InUseLock on it is alive.
bool isInUse(const std::string &databasePath);

} // namespace quillet
