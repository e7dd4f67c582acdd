#include "keeping/History.h"

#include "keeping/DurableFiles.h"
#include "keeping/Places.h"
#include "store/Schema.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace quillet {

namespace {

// The columns of a version after its number: the note's ID, the kind, the time, then the row's
// own columns after its ID, each stored with its type.
constexpr const char *kColumns = "number, noteId, titleOnly, keptAt, Kleidi, MyText, Keimeno, "
                                 "anoixto, MegFonta, Grammatoseira, XromaFont, XromaBack, "
                                 "FontaBold, FontaPlagia";

NoteVersion versionFrom(Statement &read)
{
    NoteVersion version;
    version.number = read.columnInt64(0);
    version.row[0] = Value::integer(read.columnInt64(1));
    version.titleOnly = read.columnInt64(2) != 0;
    version.keptAt = read.columnInt64(3);
    for (std::size_t c = 1; c < version.row.size(); ++c)
        read.column(static_cast<int>(c + 3), version.row[c]);
    return version;
}

void insert(Connection &db, const NoteVersion &version, bool withNumber)
{
    Statement write(db, withNumber ? "INSERT INTO versions (number, noteId, titleOnly, keptAt, "
                                     "Kleidi, MyText, Keimeno, anoixto, MegFonta, Grammatoseira, "
                                     "XromaFont, XromaBack, FontaBold, FontaPlagia) VALUES (?14, "
                                     "?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"
                                   : "INSERT INTO versions (noteId, titleOnly, keptAt, Kleidi, "
                                     "MyText, Keimeno, anoixto, MegFonta, Grammatoseira, "
                                     "XromaFont, XromaBack, FontaBold, FontaPlagia) VALUES (?1, "
                                     "?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    write.bind(1, *version.row[0].integer());
    write.bind(2, std::int64_t{version.titleOnly ? 1 : 0});
    write.bind(3, version.keptAt);
    for (std::size_t c = 1; c < version.row.size(); ++c)
        write.bind(static_cast<int>(c + 3), version.row[c]);
    if (withNumber)
        write.bind(14, version.number);
    write.run();
}

// A local calendar day or month as one number, for telling versions of one day apart.
long long localPeriod(std::int64_t time, bool month)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    ::localtime_r(&t, &local);
    return month ? (local.tm_year + 1900LL) * 100 + local.tm_mon
                 : (local.tm_year + 1900LL) * 10000 + local.tm_mon * 100 + local.tm_mday;
}

} // namespace

bool NoteHistory::keep(const StoredRow &row, bool titleOnly, std::int64_t keptAt)
{
    Connection *db = open(true);
    try {
        NoteVersion version;
        version.row = row;
        version.titleOnly = titleOnly;
        version.keptAt = keptAt;
        insert(*db, version, false);
        return true;
    } catch (const StoreError &error) {
        if (error.isBusy())
            return false;
        unavailable(error, true);
    }
}

std::optional<std::int64_t> NoteHistory::newestKept(std::int64_t noteId, bool titleOnly)
{
    return reading([&]() -> std::optional<std::int64_t> {
        Connection *db = open(false);
        if (!db)
            return std::nullopt;
        Statement newest(*db, "SELECT max(keptAt) FROM versions WHERE noteId=? AND titleOnly=?");
        newest.bind(1, noteId);
        newest.bind(2, std::int64_t{titleOnly ? 1 : 0});
        if (!newest.step())
            return std::nullopt;
        return newest.column(0).integer();
    });
}

std::vector<NoteVersion> NoteHistory::versionsOf(std::int64_t noteId)
{
    return reading([&] {
        std::vector<NoteVersion> versions;
        Connection *db = open(false);
        if (!db)
            return versions;
        Statement read(*db, std::string("SELECT ") + kColumns +
                                " FROM versions WHERE noteId=? ORDER BY keptAt DESC, number DESC");
        read.bind(1, noteId);
        while (read.step())
            versions.push_back(versionFrom(read));
        return versions;
    });
}

std::vector<VersionSummary> NoteHistory::summariesOf(std::int64_t noteId)
{
    return reading([&] {
        std::vector<VersionSummary> summaries;
        Connection *db = open(false);
        if (!db)
            return summaries;
        Statement read(*db, "SELECT number, keptAt, titleOnly, "
                            "CASE titleOnly WHEN 0 THEN length(CAST(Keimeno AS BLOB)) "
                            "ELSE length(CAST(MyText AS BLOB)) END, "
                            "CASE titleOnly WHEN 0 THEN substr(CAST(Keimeno AS BLOB), 1, 200) "
                            "ELSE substr(CAST(MyText AS BLOB), 1, 200) END "
                            "FROM versions WHERE noteId=? ORDER BY keptAt DESC, number DESC");
        read.bind(1, noteId);
        while (read.step()) {
            VersionSummary summary;
            summary.number = read.columnInt64(0);
            summary.keptAt = read.columnInt64(1);
            summary.titleOnly = read.columnInt64(2) != 0;
            summary.bytes = read.column(3).integer().value_or(0);
            summary.start = std::string(read.columnBytes(4));
            summaries.push_back(std::move(summary));
        }
        return summaries;
    });
}

std::optional<NoteVersion> NoteHistory::version(std::int64_t number)
{
    return reading([&]() -> std::optional<NoteVersion> {
        Connection *db = open(false);
        if (!db)
            return std::nullopt;
        Statement read(*db, std::string("SELECT ") + kColumns + " FROM versions WHERE number=?");
        read.bind(1, number);
        if (!read.step())
            return std::nullopt;
        return versionFrom(read);
    });
}

void NoteHistory::forEachVersion(const std::function<void(const NoteVersion &)> &visit)
{
    reading([&] {
        Connection *db = open(false);
        if (!db)
            return;
        Statement read(*db, std::string("SELECT ") + kColumns + " FROM versions ORDER BY number");
        while (read.step())
            visit(versionFrom(read));
    });
}

void NoteHistory::add(const std::vector<NoteVersion> &versions)
{
    Connection &db = *open(true);
    Transaction transaction(db);
    for (const NoteVersion &version : versions)
        insert(db, version, true);
    transaction.commit();
}

void NoteHistory::settle()
{
    if (m_db)
        m_db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

int NoteHistory::prune(std::int64_t now)
{
    Connection *db = open(false);
    if (!db)
        return 0;
    constexpr std::int64_t kDay = 24 * 3600;
    constexpr std::size_t kMostOfANote = 200;
    // Newest first within each note and kind, so that the first of a day or month is its
    // newest.
    Statement read(*db, "SELECT number, noteId, titleOnly, keptAt FROM versions "
                        "ORDER BY noteId, titleOnly, keptAt DESC, number DESC");
    std::vector<std::int64_t> doomed;
    std::int64_t note = -1;
    std::int64_t kind = -1;
    std::size_t kept = 0;
    std::set<long long> days;
    std::set<long long> months;
    while (read.step()) {
        const std::int64_t number = read.columnInt64(0);
        if (read.columnInt64(1) != note || read.columnInt64(2) != kind) {
            note = read.columnInt64(1);
            kind = read.columnInt64(2);
            kept = 0;
            days.clear();
            months.clear();
        }
        const std::int64_t keptAt = read.columnInt64(3);
        const std::int64_t age = now - keptAt;
        bool keep = true;
        if (age >= 90 * kDay)
            keep = months.insert(localPeriod(keptAt, true)).second;
        else if (age >= 7 * kDay)
            keep = days.insert(localPeriod(keptAt, false)).second;
        if (keep && kept >= kMostOfANote)
            keep = false;
        if (keep)
            ++kept;
        else
            doomed.push_back(number);
    }
    if (doomed.empty())
        return 0;
    Transaction transaction(*db);
    Statement remove(*db, "DELETE FROM versions WHERE number=?");
    for (const std::int64_t number : doomed) {
        remove.reset();
        remove.bind(1, number);
        remove.run();
    }
    transaction.commit();
    return static_cast<int>(doomed.size());
}

} // namespace quillet
