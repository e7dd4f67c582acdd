#pragma once

#include "faults/io/ShimVfs.h"

#include <array>

namespace quillet::test {

// A VFS over the engine's own "unix" one that passes every call through, except that the
// file writes, syncs and truncates can be made to fail. These three kinds of call are counted
// together, across every file opened through it (database and journal), from the moment it is
// armed; the n-th of them fails either once or for ever after.
//
// While an object of this class lives it is the default VFS (see ShimVfs).
class FaultVfs final : public ShimVfs
{
public:
    enum class Mode { Once, Forever };
    enum class Call { Write, Sync, Truncate };

    FaultVfs();

    // Starts counting from zero; the n-th counted call fails with the code of its kind (writes
    // with writeCode, syncs with SQLITE_IOERR_FSYNC, truncates with SQLITE_IOERR_TRUNCATE).
    // n = 0 in Once mode only counts.
    void arm(int n, Mode mode, int writeCode = SQLITE_IOERR_WRITE);
    // Stops failing and counting; the counts stay readable.
    void disarm();

    // Calls counted since arm, in all and of one kind.
    int calls() const { return m_calls; }
    int calls(Call kind) const { return m_callsOf[static_cast<int>(kind)]; }
    // Calls that were made to fail since arm, and the code the first of them returned.
    int injected() const { return m_injected; }
    int firstCode() const { return m_firstCode; }

    int write(sqlite3_file *real, void *tag, const void *data, int amount,
              sqlite3_int64 offset) override;
    int truncate(sqlite3_file *real, void *tag, sqlite3_int64 size) override;
    int sync(sqlite3_file *real, void *tag, int flags) override;

private:
    // The code a call of this kind must return instead of running, or SQLITE_OK to pass it
    // through.
    int fault(Call kind);

    bool m_armed = false;
    int m_target = 0;
    Mode m_mode = Mode::Once;
    int m_writeCode = SQLITE_IOERR_WRITE;
    int m_calls = 0;
    std::array<int, 3> m_callsOf{};
    int m_injected = 0;
    int m_firstCode = SQLITE_OK;
};

} // namespace quillet::test
