#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// quillet-db: makes new notes databases, checks them without changing them, exports and imports
// them, backs them up and restores them, counts what they hold, and puts deleted items back.
// The executable only forwards its arguments to run(); everything else is here so the tests
// can call it directly.
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

enum class ExportFormat { Markdown, Html, Text, Json };

// Writes the database to out. Markdown, HTML and text hold the outline in outline order, each
// item's title and note (HTML with the note's format as CSS), then any rows the program leaves
// out of the outline; JSON holds every column of every row and the settings, losslessly (see
// archive::write). Reads one note at a time. Throws StoreError.
// Returns how many characters the text formats (Markdown, HTML, text) wrote as U+FFFD: bytes
// that are not UTF-8 and control characters other than tab and line breaks, which a file that
// says it is UTF-8 text cannot hold. JSON keeps every byte and replaces nothing.
// JSON with withHistory also holds every kept version of the notes (see archive::write); without
// it, the JSON is as it always was.
std::size_t exportDatabase(const std::string &path, ExportFormat format, std::ostream &out,
                           bool withHistory = false);

// Makes a new database at path from a JSON export, with every row's ID and values as they
// were. Refuses (FileExists) anything at path, and (std::runtime_error, naming the rows) a file
// whose keys break the key scheme or the parent-before-child order, or whose settings are not
// 1 to 30 rows. Kept versions the export holds go into the new database's history file, which
// must not exist yet. On any failure, the new files are removed again.
void importJson(const std::string &jsonPath, const std::string &path);

struct Stats
{
    std::int64_t items = 0;   // rows of mynodes
    std::int64_t leftOut = 0; // rows the outline leaves out
    int depth = 0;            // the deepest level
    std::int64_t noteBytes = 0;
    std::int64_t largestNoteBytes = 0;
    std::int64_t largestNoteId = 0;
    std::string largestNoteKey, largestNoteTitle;
    std::vector<std::int64_t> itemsPerLevel; // [0] is level 1
};

// Counts the database's items and the size of its notes. Throws StoreError.
Stats statsOf(const std::string &path);

// Runs the tool on its arguments (the program name left out) and returns the exit status:
// 0 done or no problems, 1 failed or problems found, 2 the arguments were not understood.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace quillet::dbtool
