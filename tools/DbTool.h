#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// quillet-db: makes new notes databases and checks existing ones without changing them. The
// executable only forwards its arguments to run(); everything else is here so the tests can
// call it directly.
namespace quillet::dbtool {

// The title of the one row a new database starts with.
inline constexpr std::string_view kDefaultTitle = "My notes";

// Raised by initDatabase when anything at all is at the path: the tool never overwrites.
class FileExists : public std::runtime_error
{
public:
    explicit FileExists(const std::string &path);
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// Creates a new notes database at path: both tables, the row "A" with the given title and an
// empty note, and 30 settings rows (the main window's design geometry in 1 to 4, zeros after).
// The file is created exclusively, so nothing that exists or appears meanwhile is opened.
// Throws FileExists, std::system_error when the file cannot be created, or StoreError when
// SQLite fails; on a failure after creating the file, the file is removed again.
void initDatabase(const std::string &path, std::string_view title = kDefaultTitle);

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

// The name to hand to SQLite for a file path. SQLite may read names starting with "file:" as
// URIs and takes ":memory:" as an in-memory database; a relative path gets "./" in front so
// that it always means the file of that name.
std::string sqliteName(const std::string &path);

// Runs the tool on its arguments (the program name left out) and returns the exit status:
// 0 done or no problems, 1 failed or problems found, 2 the arguments were not understood.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace quillet::dbtool
