#include "faults/io/FaultVfs.h"

namespace quillet::test {

FaultVfs::FaultVfs()
    : ShimVfs("quillet-faults")
{
}

int FaultVfs::write(sqlite3_file *real, void *tag, const void *data, int amount,
                    sqlite3_int64 offset)
{
    if (const int rc = fault(Call::Write))
        return rc;
    return ShimVfs::write(real, tag, data, amount, offset);
}

int FaultVfs::truncate(sqlite3_file *real, void *tag, sqlite3_int64 size)
{
    if (const int rc = fault(Call::Truncate))
        return rc;
    return ShimVfs::truncate(real, tag, size);
}

int FaultVfs::sync(sqlite3_file *real, void *tag, int flags)
{
    if (const int rc = fault(Call::Sync))
        return rc;
    return ShimVfs::sync(real, tag, flags);
}

void FaultVfs::arm(int n, Mode mode, int writeCode)
{
    m_armed = true;
    m_target = n;
    m_mode = mode;
    m_writeCode = writeCode;
    m_calls = 0;
    m_callsOf = {};
    m_injected = 0;
    m_firstCode = SQLITE_OK;
}

void FaultVfs::disarm()
{
    m_armed = false;
}

int FaultVfs::fault(Call kind)
{
    if (!m_armed)
        return SQLITE_OK;
    ++m_calls;
    ++m_callsOf[static_cast<int>(kind)];
    const bool fails = m_calls == m_target || (m_mode == Mode::Forever && m_calls > m_target);
    if (!fails)
        return SQLITE_OK;
    int code = m_writeCode;
    if (kind == Call::Sync)
        code = SQLITE_IOERR_FSYNC;
    else if (kind == Call::Truncate)
        code = SQLITE_IOERR_TRUNCATE;
    if (m_injected++ == 0)
        m_firstCode = code;
    return code;
}

} // namespace quillet::test
