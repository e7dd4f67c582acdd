#include "store/QuickCheck.h"

#include "store/Sqlite.h"

#include <sqlite3.h>

namespace quillet {

DamageFinding quickCheck(const std::string &path, const std::atomic<bool> &stop)
{
    DamageFinding finding;
    try {
        Connection connection(path, Connection::Mode::ReadOnly);
        // The engine asks now and then whether to go on: a window closing stops the check.
        sqlite3_progress_handler(
            connection.handle(), 10000,
            [](void *flag) { return static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool> *>(&stop));
        Statement check(connection, "PRAGMA quick_check(20)");
        std::string lines;
        while (check.step()) {
            if (!lines.empty())
                lines += '\n';
            lines += check.columnText(0);
        }
        finding.outcome =
            lines == "ok" ? DamageFinding::Outcome::Sound : DamageFinding::Outcome::Damaged;
        finding.problem = lines == "ok" ? std::string() : lines;
    } catch (const StoreError &error) {
        // A lock held past the wait is no sign of damage; anything else is.
        if (stop || (error.code() & 0xFF) == SQLITE_BUSY)
            return {};
        finding.outcome = DamageFinding::Outcome::Damaged;
        finding.problem = error.message();
    }
    if (stop)
        return {};
    return finding;
}

} // namespace quillet
