#include "tools/check/DbCheck.h"

#include "session/NotesSession.h"
#include "store/NoteStore.h"
#include "store/OutlineRowCheck.h"
#include "store/Schema.h"
#include "store/Settings.h"
#include "store/Sqlite.h"
#include "store/Tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace quillet::dbtool {

namespace {

using Kind = Problem::Kind;

// Store messages may carry the engine's text; a report keeps one problem to a line.
std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void add(CheckReport &report, Kind kind, std::optional<std::int64_t> id, std::string text)
{
    report.problems.push_back(Problem{kind, id, std::move(text)});
}

// The program reads each setting as a signed 32-bit number. It would round 1.5, but a
// fraction in a table of whole numbers is damage all the same, so it is reported.
bool isWholeInt32(const Value &value)
{
    if (value.type() == Value::Type::Integer)
        return value.toInt32().has_value();
    const std::optional<double> number = value.toDouble();
    return number && std::trunc(*number) == *number &&
           *number >= std::numeric_limits<std::int32_t>::min() &&
           *number <= std::numeric_limits<std::int32_t>::max();
}

// The report line of a problem of one row. A missing parent is worded after the pass, when it
// is known whether the parent comes later or nowhere.
Kind kindOf(RowProblem problem)
{
    switch (problem) {
    case RowProblem::KeyNull:
    case RowProblem::KeyEmpty:
        return Kind::KeyEmpty;
    case RowProblem::KeyOutsideScheme:
        return Kind::KeyOutsideScheme;
    case RowProblem::TitleNull:
        return Kind::TitleNull;
    case RowProblem::ExpandedNull:
        return Kind::ExpandedNull;
    case RowProblem::ExpandedNotBoolean:
        return Kind::ExpandedNotBoolean;
    case RowProblem::DuplicateKey:
        return Kind::DuplicateKey;
    case RowProblem::ParentNotBefore:
        break;
    }
    return Kind::ParentMissing;
}

void scanOutline(Connection &db, CheckReport &report)
{
    // A child whose parent has not been seen yet: after the pass, its parent is either later
    // in the table or nowhere.
    struct Pending
    {
        OutlineRow row;
        CheckedRow checked;
        std::string label;
    };
    // Only keys are kept; titles are tested for Null and note texts are not read at all.
    OutlineRowCheck rowCheck;
    std::vector<Pending> pending;
    const std::size_t firstProblem = report.problems.size();
    const auto addRowProblem = [&](RowProblem problem, const OutlineRow &row,
                                   const CheckedRow &checked, const std::string &label,
                                   std::optional<std::int64_t> otherId) {
        Kind kind = kindOf(problem);
        if (problem == RowProblem::ParentNotBefore && otherId)
            kind = Kind::ParentLater;
        add(report, kind, row.id, label + ": " + describe(problem, row, checked, otherId) + ".");
    };

    scanOutlineRows(db, [&](const OutlineRow &row) {
        ++report.items;
        const CheckedRow checked = rowCheck.check(row);

        std::string label = "mynodes ID " + std::to_string(row.id);
        if (!checked.key.empty())
            label += ", key " + quote(checked.key);
        for (const RowProblem problem : checked.problems) {
            if (problem == RowProblem::ParentNotBefore)
                pending.push_back(Pending{row, checked, label});
            else
                addRowProblem(problem, row, checked, label, rowCheck.firstIdOf(checked.key));
        }
    });

    for (const Pending &child : pending)
        addRowProblem(RowProblem::ParentNotBefore, child.row, child.checked, child.label,
                      rowCheck.firstIdOf(child.checked.parentKey));
    // The parent problems were found after the pass; list the outline's problems by row.
    std::stable_sort(report.problems.begin() + static_cast<std::ptrdiff_t>(firstProblem),
                     report.problems.end(),
                     [](const Problem &a, const Problem &b) { return a.id < b.id; });

    if (!rowCheck.firstIdOf("A"))
        add(report, Kind::NoRootKey, std::nullopt, "mynodes: no row has the key \"A\".");
}

void scanSettings(Connection &db, CheckReport &report)
{
    forEachSetting(db, [&](std::int64_t id, const Value &value) {
        ++report.settings;
        const std::string label = "parame ID " + std::to_string(id) + " (position " +
                                  std::to_string(report.settings) + ")";
        if (value.isNull())
            add(report, Kind::SettingNull, id, label + ": timilo is Null.");
        else if (!isWholeInt32(value))
            add(report, Kind::SettingNotWhole, id,
                label + ": timilo " + quote(value.toText().value_or("")) +
                    " is not a whole number from -2147483648 to 2147483647.");
    });
    if (report.settings == 0)
        add(report, Kind::NoSettings, std::nullopt,
            "parame: the table has no rows; the program keeps its settings there.");
    else if (report.settings > Settings::kCount)
        add(report, Kind::TooManySettings, std::nullopt,
            "parame: the table has " + std::to_string(report.settings) +
                " rows; the program reads at most 30.");
}

// The program makes two tables and nothing else. A trigger can change or refuse its writes
// behind its back, and a view can stand in for a table's name; neither belongs in the file.
void scanObjects(Connection &db, CheckReport &report)
{
    Statement objects(db, "SELECT type, name FROM sqlite_master WHERE type IN ('trigger', "
                          "'view') ORDER BY type, name");
    while (objects.step())
        add(report, Kind::UnknownObject, std::nullopt,
            "sqlite_master: the " + objects.columnText(0) + " " + quote(objects.columnText(1)) +
                " is not one the program makes; it may change what the program stores.");
}

// The engine's own check of every page and index, which finds damage the reads above miss.
void scanIntegrity(Connection &db, CheckReport &report)
{
    Statement check(db, "PRAGMA integrity_check(20)");
    while (check.step()) {
        const std::string line = check.columnText(0);
        if (line != "ok")
            add(report, Kind::IntegrityFailed, std::nullopt, "integrity_check: " + oneLine(line));
    }
}

} // namespace

CheckReport checkDatabase(const std::string &path)
{
    CheckReport report;
    try {
        NotesSession session;
        session.setPath(path);
        session.open(NotesSession::Access::Reading);
        session.readTables([&](Connection &db) {
            scanOutline(db, report);
            scanSettings(db, report);
            scanObjects(db, report);
            scanIntegrity(db, report);
        });
        for (std::string &problem : session.historyProblems())
            add(report, Kind::HistoryProblem, std::nullopt, oneLine(std::move(problem)));
    } catch (const NotesUnavailable &error) {
        // The file's own checks give a reason code; a missing table or column gives none.
        add(report, error.code() == 0 ? Kind::SchemaIncomplete : Kind::FileUnusable, std::nullopt,
            oneLine(error.what()));
    } catch (const StoreError &error) {
        if (error.waitsForRollback()) {
            // A read-only look cannot roll the change back, and reads nothing until it is.
            add(report, Kind::InterruptedChange, std::nullopt,
                "A change cut short by a crash waits in " + path +
                    "-journal to be rolled back; nothing else was checked. Starting Quillet "
                    "rolls it back, or run quillet-db recover " +
                    path + ". Keep the journal: without it the file is damaged.");
            return report;
        }
        // A damaged file passes the header test and fails once the engine reads its pages.
        add(report, Kind::ReadFailed, std::nullopt,
            "The file cannot be read as a database: " + oneLine(error.message()));
    }
    return report;
}

bool recoverDatabase(const std::string &path)
{
    if (NotesSession::isOpenElsewhere(path))
        throw std::runtime_error("Quillet has " + path +
                                 " open, and rolls back what it finds itself; nothing was done.");
    struct stat info
    {
    };
    const bool journal = ::stat((path + "-journal").c_str(), &info) == 0 && info.st_size > 0;
    // The engine rolls back a journal it finds at the first read of a connection that may
    // write, and syncs the file before it lets the journal go: opening the file as the program
    // does reads it.
    NotesSession session;
    session.setPath(path);
    session.open();
    return journal && ::stat((path + "-journal").c_str(), &info) != 0;
}

} // namespace quillet::dbtool
