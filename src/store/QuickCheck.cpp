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
        connection.stopWhen(stop, 10000);
        // One row "ok", or one row for each problem found (at most 20). The engine's own words
        // are for quillet-db check; the user is told what they mean.
        Statement check(connection, "PRAGMA quick_check(20)");
        int problems = 0;
        bool ok = false;
        while (check.step()) {
            ok = check.columnText(0) == "ok";
            ++problems;
        }
        if (ok && problems == 1) {
            finding.outcome = DamageFinding::Outcome::Sound;
        } else {
            finding.outcome = DamageFinding::Outcome::Damaged;
            const std::string count =
                problems >= 20 ? std::string("20 or more") : std::to_string(problems);
            finding.problem = "The engine's check of its pages and indexes found " + count +
                              (problems == 1 ? " problem." : " problems.");
        }
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
