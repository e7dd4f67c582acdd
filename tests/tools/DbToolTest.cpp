#include "tools/commands/DbTool.h"

#include "keeping/Deletions.h"
#include "keeping/History.h"
#include "keeping/InUseLock.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "store/Schema.h"
#include "support/BadOutlineRows.h"
#include "support/FileHistory.h"
#include "support/TestDatabase.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/stat.h>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

using dbtool::Problem;
using Kind = Problem::Kind;

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string rows(std::initializer_list<std::pair<int, const char *>> idsAndKeys)
{
    std::string sql;
    for (const auto &[id, key] : idsAndKeys)
        sql += "INSERT INTO mynodes (ID, Kleidi, MyText, anoixto) VALUES (" + std::to_string(id) +
               ", '" + key + "', 'Title', 0);";
    return sql;
}

TEST(toolsInit, MakesADatabaseTheProgramOpens)
{
    TempFolder folder;
    const std::string path = folder.path("new.db");
    initDatabase(path);

    NoteStore store(path);
    int count = 0;
    store.scanOutline([&](const OutlineRow &row) {
        ++count;
        EXPECT_EQ(row.key.toText(), "A");
        EXPECT_EQ(row.title.toText(), std::string(newdatabase::kStarterTitle));
        EXPECT_EQ(row.expanded.toBool(), false);
    });
    EXPECT_EQ(count, 1);
    const std::optional<NoteRow> note = store.readNote("A");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text.toText(), "");

    // Start from values a missing row would leave behind, so every position must be read.
    Settings settings;
    for (int position = 1; position <= Settings::kCount; ++position)
        settings.at(position) = -1;
    store.loadSettings(settings);
    const int geometry[] = {600, 600, 14340, 9465};
    for (int position = 1; position <= Settings::kCount; ++position)
        EXPECT_EQ(settings.at(position), position <= 4 ? geometry[position - 1] : 0)
            << "position " << position;
}

// What an interrupted init left beside the name (the partial file and a journal of it that the
// engine would replay) is no database: the next init goes on past it, and leaves only the file.
TEST(toolsInit, GoesOnPastWhatAnInterruptedInitLeftAndLeavesOnlyTheFile)
{
    TempFolder folder;
    const std::string path = folder.path("new.db");
    writeFile(path + ".partial", "half a database");
    writeFile(path + ".partial-journal", std::string(2048, 'j'));
    initDatabase(path);

    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
    EXPECT_FALSE(std::filesystem::exists(path + ".partial-journal"));
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    std::ostringstream out, err;
    EXPECT_EQ(dbtool::run({"check", path}, out, err), 0) << out.str() << err.str();
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_nlink, 1u);
}

TEST(toolsInit, RefusesAnythingAlreadyAtThePathAndLeavesItAlone)
{
    TempFolder folder;
    const std::string text = folder.path("notes.txt");
    writeFile(text, "not a database\n");
    const std::string empty = folder.path("empty.db");
    writeFile(empty, "");
    const std::string database = folder.path("full.db");
    createDatabase(database, {{"A", "Mine"}, {"A1", "Child"}});
    // A link to nowhere: following it would create the file it names.
    const std::string link = folder.path("link.db");
    std::filesystem::create_symlink(folder.path("target.db"), link);

    for (const std::string &path : {text, empty, database, link}) {
        SCOPED_TRACE(path);
        const std::string before = fileBytes(path);
        std::ostringstream out, err;
        EXPECT_EQ(dbtool::run({"init", path}, out, err), 1);
        EXPECT_EQ(err.str(),
                  "quillet-db: " + path + " already exists; quillet-db never overwrites a file.\n");
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(fileBytes(path), before);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path("target.db")));
}

// A new database, with or without the welcome note a first start shows, has no problems; the
// check only reads it.
TEST(toolsCheck, AFreshDatabaseHasNoProblems)
{
    TempFolder folder;
    const struct
    {
        std::vector<std::string> extra;
        const char *items;
        const char *titles;
    } cases[] = {
        {{}, "1", "A:My notes"},
        {{"--welcome"}, "2", "A:My notes,B:Welcome to Quillet"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.items);
        const std::string path = folder.path(std::string("new") + c.items + ".db");
        std::vector<std::string> args{"init", path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::ostringstream out, err;
        ASSERT_EQ(dbtool::run(args, out, err), 0) << err.str();
        EXPECT_EQ(out.str(), "Created a new notes database at " + path + ".\n");
        EXPECT_EQ(querySql(path, "SELECT group_concat(Kleidi || ':' || MyText) FROM mynodes"),
                  c.titles);

        const std::string before = fileBytes(path);
        out.str("");
        EXPECT_EQ(dbtool::run({"check", path}, out, err), 0);
        EXPECT_EQ(out.str(),
                  "No problems found in " + path + " (" + c.items + " items, 30 settings).\n");
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(fileBytes(path), before);
    }
}

struct RowCase
{
    const char *name;
    std::string sql; // run on a foreign-schema database holding "A" and 30 zero settings
    std::optional<Kind> kind;
    std::optional<std::int64_t> id;
    const char *mention = ""; // text the report line must hold, such as the key or other ID
};

void PrintTo(const RowCase &c, std::ostream *os)
{
    *os << c.name;
}

class toolsCheckRows : public testing::TestWithParam<RowCase>
{
};

TEST_P(toolsCheckRows, ReportsExactlyTheProblemAndChangesNothing)
{
    const RowCase &c = GetParam();
    TempFolder folder;
    const std::string path = folder.path("foreign.db");
    createForeignDatabase(path);
    execSql(path, c.sql);
    const std::string before = fileBytes(path);

    const dbtool::CheckReport report = dbtool::checkDatabase(path);
    EXPECT_EQ(fileBytes(path), before);
    if (!c.kind) {
        for (const Problem &problem : report.problems)
            ADD_FAILURE() << "unexpected: " << problem.text;
        return;
    }
    ASSERT_EQ(report.problems.size(), 1u);
    const Problem &problem = report.problems.front();
    EXPECT_EQ(problem.kind, *c.kind) << problem.text;
    EXPECT_EQ(problem.id, c.id) << problem.text;
    if (c.id) {
        EXPECT_NE(problem.text.find("ID " + std::to_string(*c.id)), std::string::npos)
            << problem.text;
    }
    EXPECT_NE(problem.text.find(c.mention), std::string::npos) << problem.text;
}

INSTANTIATE_TEST_SUITE_P(
    Problems, toolsCheckRows,
    testing::Values(
        RowCase{"ZeroDigit", rows({{2, "A0"}}), Kind::KeyOutsideScheme, 2, "\"A0\""},
        RowCase{"DigitFirst", rows({{2, "1"}}), Kind::KeyOutsideScheme, 2, "\"1\""},
        RowCase{"FirstAbove255", rows({{2, "\xC4\x80"}}), Kind::KeyOutsideScheme, 2},
        RowCase{"NoRoot", "UPDATE mynodes SET Kleidi = 'B'", Kind::NoRootKey, {}, "\"A\""},
        RowCase{"ThirtyOneSettings",
                "INSERT INTO parame (timilo) VALUES (0)",
                Kind::TooManySettings,
                {},
                "31"},
        RowCase{"NoSettings", "DELETE FROM parame", Kind::NoSettings, {}},
        RowCase{"NullSetting", "UPDATE parame SET timilo = NULL WHERE ID = 5", Kind::SettingNull,
                5},
        RowCase{"SettingAboveRange", "UPDATE parame SET timilo = 2147483648 WHERE ID = 6",
                Kind::SettingNotWhole, 6, "2147483648"},
        RowCase{"SettingFraction", "UPDATE parame SET timilo = 1.5 WHERE ID = 7",
                Kind::SettingNotWhole, 7},
        RowCase{"SettingWord", "UPDATE parame SET timilo = 'wide' WHERE ID = 8",
                Kind::SettingNotWhole, 8, "\"wide\""},
        // Values the program reads without trouble must not be reported.
        RowCase{"TreeUnderCode255", rows({{2, "\u00FF"}, {3, "\u00FF9"}}), {}, {}},
        RowCase{"ExpandedAsWordAndNumber",
                rows({{2, "A1"}}) + "UPDATE mynodes SET anoixto = ' TRUE' WHERE ID = 1;"
                                    "UPDATE mynodes SET anoixto = 7 WHERE ID = 2;",
                {},
                {}},
        RowCase{"WholeSettingsInOtherForms",
                "UPDATE parame SET timilo = ' 12 ' WHERE ID = 1;"
                "UPDATE parame SET timilo = 4.0 WHERE ID = 2;"
                "UPDATE parame SET timilo = -2147483648 WHERE ID = 3;",
                {},
                {}}),
    [](const testing::TestParamInfo<RowCase> &info) { return std::string(info.param.name); });

// The rows at which the program stops loading the outline are the rows the check reports.
TEST(toolsCheck, ReportsEveryRowTheProgramCannotLoad)
{
    TempFolder folder;
    for (const BadOutlineRow &c : kBadOutlineRows) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.path(std::string(c.name) + ".db");
        createForeignDatabase(path);
        execSql(path, c.sql);
        const dbtool::CheckReport report = dbtool::checkDatabase(path);
        std::string texts;
        bool reported = false;
        for (const Problem &problem : report.problems) {
            texts += problem.text + '\n';
            reported = reported || problem.text.find(c.reason) != std::string::npos;
            EXPECT_EQ(problem.id, c.id) << problem.text;
        }
        EXPECT_TRUE(reported) << texts;
    }
}

TEST(toolsCheck, FilesTheProgramCannotUseStopTheCheck)
{
    TempFolder folder;
    struct FileCase
    {
        const char *name;
        std::function<void(const std::string &)> make;
        Kind kind;
        const char *mention;
    };
    const std::vector<FileCase> cases{
        {"missing", [](const std::string &) {}, Kind::FileUnusable, "does not exist"},
        {"empty", [](const std::string &p) { writeFile(p, ""); }, Kind::FileUnusable, "empty"},
        {"text", [](const std::string &p) { writeFile(p, "A;Top;\nA1;Child;\n"); },
         Kind::FileUnusable, "not a SQLite file"},
        {"damaged",
         [](const std::string &p) {
             writeFile(p, std::string("SQLite format 3\0", 16) + std::string(2000, '\x5A'));
         },
         Kind::ReadFailed, "cannot be read"},
        {"no parame",
         [](const std::string &p) {
             createDatabase(p, {{"A", "Top"}});
             execSql(p, "DROP TABLE parame");
         },
         Kind::SchemaIncomplete, "\"parame\""},
        {"no anoixto",
         [](const std::string &p) {
             createDatabase(p, {{"A", "Top"}});
             execSql(p, "ALTER TABLE mynodes DROP COLUMN anoixto");
         },
         Kind::SchemaIncomplete, "\"anoixto\""},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.path(std::string(c.name) + ".db");
        c.make(path);
        const std::string before = fileBytes(path);
        const dbtool::CheckReport report = dbtool::checkDatabase(path);
        ASSERT_EQ(report.problems.size(), 1u);
        EXPECT_EQ(report.problems[0].kind, c.kind) << report.problems[0].text;
        EXPECT_NE(report.problems[0].text.find(c.mention), std::string::npos)
            << report.problems[0].text;
        EXPECT_EQ(fileBytes(path), before);
        if (std::string_view(c.name) == "missing") {
            EXPECT_FALSE(std::filesystem::exists(path)) << "the check created the file";
        }
    }
}

TEST(toolsCheck, ListsEveryProblemInRowOrder)
{
    TempFolder folder;
    const std::string path = folder.path("many.db");
    createForeignDatabase(path);
    execSql(path, rows({{2, "A11"}, {3, "X0"}, {4, "A1"}, {5, "A1"}}) +
                      "UPDATE mynodes SET MyText = NULL WHERE ID = 3; DELETE FROM parame;");

    std::ostringstream out, err;
    EXPECT_EQ(dbtool::run({"check", path}, out, err), 1);
    const dbtool::CheckReport report = dbtool::checkDatabase(path);
    std::vector<std::pair<Kind, std::optional<std::int64_t>>> found;
    std::string expected;
    for (const Problem &problem : report.problems) {
        found.emplace_back(problem.kind, problem.id);
        expected += problem.text + "\n";
    }
    const std::vector<std::pair<Kind, std::optional<std::int64_t>>> wanted{
        {Kind::ParentLater, 2},   {Kind::KeyOutsideScheme, 3}, {Kind::TitleNull, 3},
        {Kind::ParentMissing, 3}, {Kind::DuplicateKey, 5},     {Kind::NoSettings, std::nullopt}};
    EXPECT_EQ(found, wanted);
    EXPECT_EQ(out.str(), expected + "6 problems found in " + path + ".\n");
}

TEST(toolsCheck, ReadsAFullOutline)
{
    TempFolder folder;
    const std::string path = folder.path("full.db");
    createEmptyDatabase(path);
    // A recursive query hands out its rows first in, first out: breadth first from "A", so
    // every parent is stored before its children.
    execSql(path, "WITH RECURSIVE digit(d) AS (VALUES (1), (2), (3), (4), (5), (6), (7), (8), (9)),"
                  " k(key) AS (SELECT 'A' UNION ALL SELECT key || d FROM k, digit LIMIT 32766)"
                  " INSERT INTO mynodes (Kleidi, MyText) SELECT key, 't' FROM k;"
                  "INSERT INTO parame (timilo) VALUES (0);");
    const dbtool::CheckReport report = dbtool::checkDatabase(path);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front().text;
    EXPECT_EQ(report.items, 32766);
    EXPECT_EQ(report.settings, 1);
}

// Runs the built executable; gives its exit status (-1 when it crashed or hung) and output.
std::pair<int, QString> runTool(const QStringList &args, const QString &workingFolder = {})
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(QString::fromUtf8(QUILLET_DB_TOOL), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, {}};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

TEST(toolsExecutable, ExitStatuses)
{
    TempFolder folder;
    const QString path = QString::fromStdString(folder.path("notes.db"));
    const QString text = QString::fromStdString(folder.path("notes.txt"));
    writeFile(text.toStdString(), "hello\n");

    for (const QStringList &args : {QStringList{}, {"repair", path}, {"check"}})
        EXPECT_EQ(runTool(args).first, 2) << args.join(' ').toStdString();
    EXPECT_EQ(runTool({"--help"}).first, 0);
    EXPECT_EQ(runTool({"init", path}).first, 0);
    EXPECT_EQ(runTool({"init", path}).first, 1);
    EXPECT_EQ(runTool({"check", path}).first, 0);
    EXPECT_EQ(runTool({"check", text}).first, 1);

    const QString json = QString::fromStdString(folder.path("out.json"));
    const std::vector<std::pair<QStringList, int>> cases{
        {{"export", path, "--format", "pdf"}, 2},
        {{"export", path}, 2},
        {{"export", path, "--format", "json", "--output"}, 2},
        {{"backup", path, "--keep", "0"}, 2},
        {{"stats", path, "--verbose"}, 2},
        {{"export", path, "--format", "json", "--output", path}, 1}, // never over the database
        {{"export", path, "--format=json", "--output", json}, 0},
        {{"import-json", json, path}, 1},
        {{"undelete", text, path}, 1},
        {{"restore", text, path}, 1},
        {{"stats", text}, 1},
        {{"stats", path}, 0},
        {{"backup", path, "--keep=1"}, 0},
    };
    for (const auto &[args, status] : cases)
        EXPECT_EQ(runTool(args).first, status) << args.join(' ').toStdString();
    EXPECT_EQ(dbtool::checkDatabase(path.toStdString()).problems.size(), 0u);
    for (const char *command :
         {"init", "check", "export", "import-json", "backup", "restore", "stats", "undelete"}) {
        const auto [status, out] = runTool({command, "--help"});
        EXPECT_EQ(status, 0) << command;
        EXPECT_TRUE(out.startsWith(QStringLiteral("Usage: quillet-db ") + command)) << command;
    }
}

TEST(toolsCheck, NamesTriggersViewsAndWhatTheIntegrityCheckFinds)
{
    TempFolder folder;
    const std::string path = folder.path("notes.db");
    initDatabase(path);
    execSql(path, "CREATE VIEW titles AS SELECT MyText FROM mynodes;"
                  "CREATE TRIGGER keep BEFORE DELETE ON mynodes BEGIN SELECT 1; END;"
                  // A Null title the table's own rule forbids, slipped past it.
                  "PRAGMA writable_schema = ON;"
                  "UPDATE sqlite_master SET sql = replace(sql, 'MyText TEXT NOT NULL', "
                  "'MyText TEXT') WHERE name = 'mynodes';");
    execSql(path, "INSERT INTO mynodes (Kleidi, MyText) VALUES ('B', NULL);"
                  "PRAGMA writable_schema = ON;"
                  "UPDATE sqlite_master SET sql = replace(sql, 'MyText TEXT,', "
                  "'MyText TEXT NOT NULL,') WHERE name = 'mynodes';");
    std::vector<Kind> kinds;
    for (const Problem &problem : dbtool::checkDatabase(path).problems)
        kinds.push_back(problem.kind);
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::TitleNull, Kind::UnknownObject, Kind::UnknownObject,
                                        Kind::IntegrityFailed}));
}

// SQLite would take these names as an in-memory database or a URI; they must name files.
TEST(toolsExecutable, RelativeNamesAreAlwaysFiles)
{
    TempFolder folder;
    for (const char *name : {":memory:", "file:notes.db?mode=memory"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(runTool({"init", name}, folder.folder()).first, 0);
        EXPECT_EQ(dbtool::checkDatabase(folder.path(name)).items, 1);
        const auto [status, out] = runTool({"check", name}, folder.folder());
        EXPECT_EQ(status, 0) << out.toStdString();
    }
}

} // namespace
} // namespace quillet::test

namespace quillet::test {
namespace {

// stats writes titles as check does: control characters escaped, never sent to the terminal.
TEST(toolsStats, TitlesComeOutEscapedAndOneByteIsOneByte)
{
    TempFolder folder;
    const std::string path = folder.path("notes.db");
    initDatabase(path);
    execSql(path, "UPDATE mynodes SET MyText='bell' || char(7) || char(27) || '[2J', Keimeno='x' "
                  "WHERE Kleidi='A'");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(dbtool::run({"stats", path}, out, err), 0) << err.str();
    const std::string said = out.str();
    EXPECT_NE(said.find("Largest note: 1 byte,"), std::string::npos) << said;
    EXPECT_NE(said.find("\"bell\\x07\\x1B[2J\""), std::string::npos) << said;
    EXPECT_EQ(said.find('\x1B'), std::string::npos);
}

} // namespace
} // namespace quillet::test

namespace quillet::test {
namespace {

// undelete from the command line: where the items were, refused when that place is taken, and
// --under an item with new keys and IDs, the versions following; refused, changing nothing, at
// a full parent, past the depth limit, at no item, and while the program has the file open.
TEST(toolsUndelete, PutsBackWhereTheyWereOrUnderAnItemAndRefuses)
{
    TempFolder folder;
    const std::string path = folder.path("notes.db");
    std::vector<Row> outline{{"A", "a"}};
    for (char n = '1'; n <= '9'; ++n)
        outline.push_back({std::string("A") + n, "child"});
    outline.insert(outline.end(), {{"B", "b"}, {"B1", "b1"}, {"B11", "b11"}, {"C", "c"}});
    std::string chain = "C";
    while (chain.size() < 99)
        outline.push_back({chain += "1", "deep"});
    createDatabase(path, outline); // B1 is ID 12
    std::string copy;
    {
        NoteStore store(path);
        NoteHistory(store).keep(*store.readRow("B1"), false, 1000);
        store.deleteSubtree("B1", [&](const std::vector<StoredRow> &rows) {
            copy = deletions::keepCopy(path, "B1", rows, "b > b1");
        });
        store.insertItem("B1", "taken"); // the original place is taken
    }
    const std::string newId = std::to_string(outline.size() + 2);
    struct Case
    {
        std::vector<std::string> args; // after "undelete FILE PATH"
        bool inUse;
        int status;
        std::string said; // part of the output
    };
    const Case cases[] = {
        {{}, false, 1, "The key \"B1\" is taken"},
        {{}, false, 1, "--under KEY or --top puts"},
        {{"--under", "A"}, false, 1, "holds nine items"},
        {{"--under", chain}, false, 1, "101 levels deep"},
        {{"--under", "Q"}, false, 1, "No item has the key \"Q\""},
        {{"--under", "C", "--top"}, false, 2, "not both"},
        {{"--under", "C"}, true, 1, "Close it first"},
        {{"--under", "C"},
         false,
         0,
         "Put back 2 items from " + copy + " into " + path +
             " as \"C2\", with new IDs.\nThe copy is kept as " + places::restoredCopyFile(copy, 1)},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"undelete", copy, path};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.said);
        const std::string bytes = fileBytes(path);
        std::ostringstream out;
        std::ostringstream err;
        std::optional<InUseLock> open;
        if (c.inUse)
            open.emplace(path);
        EXPECT_EQ(dbtool::run(args, out, err), c.status);
        EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos)
            << out.str() << err.str();
        if (c.status != 0) {
            EXPECT_TRUE(fileBytes(path) == bytes);
            EXPECT_TRUE(std::filesystem::exists(copy));
        }
    }
    EXPECT_EQ(querySql(path, "SELECT group_concat(Kleidi || ':' || ID, ' ') FROM mynodes WHERE "
                             "Kleidi LIKE 'C2%'"),
              "C2:" + newId + " C21:" + std::to_string(outline.size() + 3));
    EXPECT_EQ(test::FileHistory(path).versionsOf(std::stoll(newId)).size(), 1u);
    EXPECT_EQ(test::FileHistory(path).versionsOf(12).size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(copy));
}

// The history from the command line: the list, a version byte for byte, a restore that keeps
// what it replaces, and its refusal while the program has the file open.
TEST(toolsHistory, ListsShowsAndRestoresVersions)
{
    TempFolder folder;
    const std::string path = folder.path("notes.db");
    initDatabase(path);
    execSql(path, "UPDATE mynodes SET Keimeno=CAST(X'CAE1' AS TEXT) WHERE Kleidi='A'");
    {
        NoteStore store(path);
        NoteHistory(store).keep(*store.readRow("A"), false, 1000);
        store.saveText("A", "now");
    }
    const auto run = [&](const std::vector<std::string> &args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = dbtool::run(args, out, err);
        return std::make_pair(status, out.str() + err.str());
    };
    const auto [listed, list] = run({"history", path, "A"});
    EXPECT_EQ(listed, 0);
    EXPECT_NE(list.find("1  "), std::string::npos) << list;
    EXPECT_NE(list.find("2 bytes  \"\xCA\xE1\""), std::string::npos) << list;
    EXPECT_EQ(run({"history", path, "A", "--show", "1"}),
              std::make_pair(0, std::string("\xCA\xE1")));
    EXPECT_EQ(run({"history", path, "A", "--show", "7"}).first, 1);
    EXPECT_EQ(run({"history", path, "A", "--show", "x"}).first, 2);
    {
        const InUseLock open(path);
        EXPECT_EQ(run({"history", path, "A", "--restore", "1"}).first, 1);
        EXPECT_EQ(querySql(path, "SELECT Keimeno FROM mynodes"), "now");
    }
    EXPECT_EQ(run({"history", path, "A", "--restore", "1"}).first, 0);
    EXPECT_EQ(querySql(path, "SELECT hex(Keimeno) FROM mynodes"), "CAE1");
    EXPECT_EQ(querySql(path, "SELECT typeof(Keimeno) FROM mynodes"), "text");
    EXPECT_EQ(run({"history", path, "A", "--show", "2"}), std::make_pair(0, std::string("now")));
    EXPECT_EQ(run({"history", path, "--prune"}).first, 0);
}

// The versions travel with a JSON export made --with-history: import-json keeps them with
// their numbers, times and bytes, and the export without the option is as it was. An import
// that fails leaves no history file behind, and one already there is never mixed into.
TEST(toolsHistory, TravelsThroughTheJsonExportAndImport)
{
    TempFolder folder;
    const std::string path = folder.path("notes.db");
    initDatabase(path);
    execSql(path, "UPDATE mynodes SET Keimeno=CAST(X'CAE1' AS TEXT) WHERE Kleidi='A'");
    {
        NoteStore store(path);
        NoteHistory history(store);
        history.keep(*store.readRow("A"), false, 1000);
        history.keep(*store.readRow("A"), true, 2000);
        store.saveText("A", "now");
    }
    const auto exported = [](const std::string &from, bool withHistory) {
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> args{"export", from, "--format", "json"};
        if (withHistory)
            args.emplace_back("--with-history");
        EXPECT_EQ(dbtool::run(args, out, err), 0) << err.str();
        return out.str();
    };
    const auto versions = [](const std::string &of) {
        std::vector<std::tuple<std::int64_t, bool, std::int64_t, std::string>> all;
        test::FileHistory(of).forEachVersion([&](const NoteVersion &v) {
            std::string row;
            for (const Value &column : v.row)
                row += std::to_string(static_cast<int>(column.type())) + ':' +
                       column.toText().value_or("") + ';';
            all.emplace_back(v.number, v.titleOnly, v.keptAt, row);
        });
        return all;
    };
    const std::string plain = exported(path, false);
    const std::string withHistory = exported(path, true);
    EXPECT_EQ(plain.find("\"history\""), std::string::npos);
    writeFile(folder.path("with.json"), withHistory);
    writeFile(folder.path("plain.json"), plain);

    const std::string copy = folder.path("copy.db");
    dbtool::importJson(folder.path("with.json"), copy);
    EXPECT_EQ(versions(copy), versions(path));
    EXPECT_EQ(versions(copy).size(), 2u);
    EXPECT_EQ(exported(copy, true), withHistory);
    EXPECT_EQ(exported(copy, false), plain);

    // A second import beside the first would find copy's history file at its own name.
    const std::string other = folder.path("other/notes.db");
    std::filesystem::create_directories(places::historyFolder(other));
    std::filesystem::copy_file(places::historyFile(copy), places::historyFile(other));
    const std::string before = fileBytes(places::historyFile(other));
    EXPECT_THROW(dbtool::importJson(folder.path("with.json"), other), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_TRUE(fileBytes(places::historyFile(other)) == before);

    // A version without its row, and settings missing, found only once the versions are in.
    std::filesystem::create_directories(folder.path("new"));
    for (const auto &[from, to] :
         {std::pair{"\"row\"", "\"nowt\""}, {"\"parame\"", "\"params\""}}) {
        std::string broken = withHistory;
        broken.replace(broken.rfind(from), std::string(from).size(), to);
        writeFile(folder.path("broken.json"), broken);
        EXPECT_THROW(dbtool::importJson(folder.path("broken.json"), folder.path("new/notes.db")),
                     std::runtime_error);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path("new"))) << to;
    }

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(dbtool::run({"export", path, "--format", "text", "--with-history"}, out, err), 2);
}

} // namespace
} // namespace quillet::test
