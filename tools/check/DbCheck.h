#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The check of a notes database: everything that would stop the program or lose part of the
// outline, found without changing the file.
namespace quillet::dbtool {

// One problem the check found, as one line of its report.
struct Problem
{
    enum class Kind {
        FileUnusable,       // missing, not a regular file, unreadable, empty, not SQLite
        SchemaIncomplete,   // a table or column the program reads is missing
        ReadFailed,         // the engine failed while reading (a damaged file)
        KeyEmpty,           // Kleidi Null, empty or only spaces
        KeyOutsideScheme,   // Kleidi not a first character "A" or above, then digits 1 to 9
        DuplicateKey,       // the same key (spaces trimmed) as an earlier row
        ParentMissing,      // no row holds the key's parent
        ParentLater,        // the parent's row comes after the child's in ID order
        NoRootKey,          // no row has the key "A"
        TitleNull,          // MyText Null
        ExpandedNull,       // anoixto Null
        ExpandedNotBoolean, // anoixto neither a number nor "true"/"false"
        TooManySettings,    // parame holds more than 30 rows
        NoSettings,         // parame holds no rows
        SettingNull,        // timilo Null
        SettingNotWhole,    // timilo not a whole number in the signed 32-bit range
        IntegrityFailed,    // the engine's integrity check found damage
        UnknownObject,      // a trigger or view the program does not make
        InterruptedChange,  // a journal beside the file holds a change to roll back
        HistoryProblem,     // the file of earlier versions is unreadable, damaged or another's
    };

    Kind kind;
    std::optional<std::int64_t> id; // the row's ID, when the problem lies in one row
    std::string text;               // the report line, naming the row's ID and key
};

struct CheckReport
{
    std::vector<Problem> problems;
    std::int64_t items = 0;    // rows of mynodes read
    std::int64_t settings = 0; // rows of parame read
};

// Opens the file as the program does at start-up, read-only, and lists every problem that
// would stop the program or lose part of the outline. Reads only the outline columns and the
// settings, one pass each, so large databases check quickly in little memory. Never changes
// the file; failures to read are reported as problems, not thrown.
CheckReport checkDatabase(const std::string &path);

// Opens the database at path read-write, so that the engine rolls back a change a crash left
// half made in the journal beside it, and says what it did; then checks it as checkDatabase
// does. Returns whether a journal was there to roll back. Throws StoreError when the file
// cannot be opened, and std::runtime_error while Quillet has it open.
bool recoverDatabase(const std::string &path);

} // namespace quillet::dbtool
