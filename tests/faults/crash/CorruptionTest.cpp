// Damages copies of a real notes database (flipped bytes, zeroed pages, a cut-short file) and
// hands each to the store and to the tool's check: each copy must open or be refused with a
// message, and nothing may crash or hang on it.

#include "faults/crash/Soaking.h"
#include "faults/crash/Watchdog.h"
#include "store/NoteStore.h"
#include "store/Schema.h"
#include "support/TestDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace quillet::crashtest {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kPageSize = 4096;

// ---- A realistic small database -------------------------------------------------------------

class SampleWriter
{
public:
    explicit SampleWriter(const std::string &path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot create " + path);
    }
    ~SampleWriter() { sqlite3_close(m_db); }

    void exec(const std::string &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message + " in " + sql);
        }
    }

    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

struct PreparedRow
{
    PreparedRow(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~PreparedRow() { sqlite3_finalize(stmt); }
    void text(int position, const std::string &value)
    {
        sqlite3_bind_text(stmt, position, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    void run()
    {
        if (sqlite3_step(stmt) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(sqlite3_db_handle(stmt)));
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    sqlite3_stmt *stmt = nullptr;
};

std::string sampleText(std::mt19937 &random, std::size_t size)
{
    static const char *const kWords[] = {
        "lorem ",
        "ipsum ",
        "dolor ",
        "sit ",
        "amet\n",
        "\xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82 ",
        "\xcf\x83\xce\xb7\xce\xbc\xce\xb5\xce\xaf\xcf\x89\xcf\x83\xce\xb7 "};
    std::string text;
    while (text.size() < size)
        text += kWords[random() % (sizeof kWords / sizeof kWords[0])];
    return text;
}

// An outline of 250 items over five levels, parents before children, with notes of a few
// hundred bytes, some of several kilobytes (so that overflow pages exist to be damaged),
// stored formats on some rows, 30 settings rows, and free pages left by deleted items: every
// kind of page a notes file holds.
void makeSampleDatabase(const std::string &path, std::uint32_t seed)
{
    std::mt19937 random(seed);
    SampleWriter db(path);
    db.exec(schema::creationSql);
    db.exec("BEGIN");

    std::vector<std::string> keys;
    for (char top = 'A'; top <= 'L'; ++top)
        keys.emplace_back(1, top);
    for (std::size_t next = 0; next < keys.size() && keys.size() < 250; ++next) {
        const std::size_t depth = keys[next].size();
        const unsigned children = depth >= 5 ? 0 : random() % (7 - depth);
        for (unsigned digit = 1; digit <= children && keys.size() < 250; ++digit)
            keys.push_back(keys[next] + static_cast<char>('0' + digit));
    }

    PreparedRow insert(db.handle(),
                       "INSERT INTO mynodes (Kleidi, MyText, Keimeno, anoixto, MegFonta, "
                       "Grammatoseira, XromaFont, XromaBack, FontaBold, FontaPlagia) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const std::string &key : keys) {
        insert.text(1, key);
        insert.text(2, "Item " + key + (random() % 3 == 0 ? " \xc2\xab\xce\xb1\xc2\xbb" : ""));
        const unsigned noteKind = random() % 100;
        const std::size_t size = noteKind < 5    ? 2000 + random() % 3000
                                 : noteKind < 85 ? 30 + random() % 200
                                                 : 0;
        insert.text(3, sampleText(random, size));
        sqlite3_bind_int(insert.stmt, 4, random() % 3 == 0);
        if (random() % 10 == 0) {
            sqlite3_bind_double(insert.stmt, 5, 8.0 + random() % 12);
            insert.text(6, random() % 2 ? "DejaVu Sans" : "Liberation Serif");
            sqlite3_bind_int(insert.stmt, 7, static_cast<int>(random() % 0xFFFFFF));
            sqlite3_bind_int(insert.stmt, 8, static_cast<int>(random() % 0xFFFFFF));
            sqlite3_bind_int(insert.stmt, 9, static_cast<int>(random() % 2));
            sqlite3_bind_int(insert.stmt, 10, static_cast<int>(random() % 2));
        } else {
            sqlite3_bind_double(insert.stmt, 5, 0.0);
            sqlite3_bind_int(insert.stmt, 9, 0);
            sqlite3_bind_int(insert.stmt, 10, 0);
        }
        insert.run();
    }

    const int geometry[] = {1200, 900, 9600, 7200, 3};
    for (int position = 1; position <= 30; ++position) {
        const int value = position <= 5 ? geometry[position - 1] : static_cast<int>(random() % 50);
        db.exec("INSERT INTO parame (timilo) VALUES (" + std::to_string(value) + ")");
    }
    db.exec("COMMIT");

    // Deleting some leaves with long notes frees their overflow pages: the freelist gets
    // damaged too.
    db.exec("DELETE FROM mynodes WHERE length(Keimeno) > 2000 AND ID % 2 = 0 AND NOT EXISTS "
            "(SELECT 1 FROM mynodes AS c WHERE c.Kleidi > mynodes.Kleidi AND "
            "substr(c.Kleidi, 1, length(mynodes.Kleidi)) = mynodes.Kleidi)");
}

// ---- Damage ---------------------------------------------------------------------------------

std::string damage(const std::string &original, unsigned kind, std::mt19937_64 &random,
                   std::string &description)
{
    std::string bytes = original;
    auto below = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    const std::size_t pages = bytes.size() / kPageSize;
    switch (kind) {
    case 0: {
        const std::size_t count = 1 + below(50);
        description = "flipped " + std::to_string(count) + " bytes at";
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = below(bytes.size());
            bytes[at] = static_cast<char>(bytes[at] ^ (1 + below(255)));
            if (i < 8)
                description += " " + std::to_string(at);
        }
        break;
    }
    case 1: {
        // Page 1 holds the header and the schema: it gets its share and more.
        const std::size_t count = 1 + below(3);
        description = "zeroed pages";
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t page = below(5) == 0 ? 0 : below(pages);
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * kPageSize), kPageSize,
                        '\0');
            description += " " + std::to_string(page + 1);
        }
        break;
    }
    default: {
        // A third of the cuts fall on a page boundary: whole pages missing from the end.
        const std::size_t length = below(3) == 0 ? below(pages) * kPageSize : below(bytes.size());
        bytes.resize(length);
        description = "cut to " + std::to_string(length) + " bytes";
        break;
    }
    }
    return bytes;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

// ---- What the program makes of a copy ---------------------------------------------------------

struct StoreOutcome
{
    bool opened = false;
    bool outlineRead = false;
    bool settingsRead = false;
    bool notesRead = false;
    std::int64_t rows = 0;
    std::vector<std::string> problems; // wrong ways of failing
};

// Runs one read and keeps its failure; true when it went through. Any exception is an allowed
// way to fail, as long as it says something: the program shows the message to the user.
template <class Read>
bool attempt(StoreOutcome &outcome, const char *what, Read &&read)
{
    try {
        read();
        return true;
    } catch (const StoreError &error) {
        if (error.message().empty())
            outcome.problems.push_back(std::string(what) + " threw a StoreError without a message");
    } catch (const std::exception &error) {
        if (std::string_view(error.what()).empty())
            outcome.problems.push_back(std::string(what) + " threw an exception without a message");
    }
    return false;
}

StoreOutcome useWithStore(const std::string &path, std::mt19937_64 &random)
{
    StoreOutcome outcome;
    std::unique_ptr<NoteStore> store;
    try {
        store = std::make_unique<NoteStore>(path);
    } catch (const DatabaseUnavailable &error) {
        if (error.message().empty())
            outcome.problems.push_back("refused without a message");
        return outcome;
    } catch (const std::exception &error) {
        outcome.problems.push_back(std::string("opening threw something other than "
                                               "DatabaseUnavailable: ") +
                                   error.what());
        return outcome;
    }
    outcome.opened = true;

    std::vector<std::string> keys;
    outcome.outlineRead = attempt(outcome, "scanOutline", [&] {
        store->scanOutline([&](const OutlineRow &row) {
            ++outcome.rows;
            keys.push_back(row.key.toText().value_or(""));
        });
    });
    // The first and last notes and a few between: the pages at both ends and some in the middle.
    outcome.notesRead = attempt(outcome, "readNote", [&] {
        for (int i = 0; i < 6 && !keys.empty(); ++i) {
            const std::size_t at = i == 0 ? 0 : i == 1 ? keys.size() - 1 : random() % keys.size();
            if (const std::optional<NoteRow> note = store->readNote(keys[at]))
                (void)note->text.toText();
        }
    });
    outcome.settingsRead = attempt(outcome, "loadSettings", [&] {
        Settings settings;
        store->loadSettings(settings);
    });
    return outcome;
}

TEST(faultsCorruption, EveryDamagedCopyOpensOrIsRefusedWithAMessage)
{
    const int copies = soaking() ? 10000 : 1000;
    constexpr std::uint64_t kSeed = 0xc0ffee;

    test::TempFolder folder;
    const std::string original = folder.path("original.mdb");
    makeSampleDatabase(original, 20240611);
    // The undamaged file is clean by every measure, so that each finding below comes from the
    // damage alone.
    ASSERT_EQ(test::querySql(original, "PRAGMA page_size"), std::to_string(kPageSize));
    ASSERT_EQ(test::querySql(original, "PRAGMA integrity_check"), "ok");
    ASSERT_NE(test::querySql(original, "PRAGMA freelist_count"), "0");
    const dbtool::CheckReport clean = dbtool::checkDatabase(original);
    ASSERT_TRUE(clean.problems.empty()) << clean.problems.front().text;
    ASSERT_EQ(clean.settings, 30);
    {
        std::mt19937_64 random(kSeed);
        const StoreOutcome outcome = useWithStore(original, random);
        ASSERT_TRUE(outcome.opened && outcome.outlineRead && outcome.notesRead &&
                    outcome.settingsRead);
        ASSERT_EQ(outcome.rows, clean.items);
    }
    const std::string bytes = test::fileBytes(original);
    ASSERT_EQ(bytes.size() % kPageSize, 0u);

    const std::string copy = folder.path("damaged.mdb");
    long long made = 0, opened = 0, refused = 0, readFully = 0, readFailed = 0;
    long long checkClean = 0, checkProblems = 0;
    int failures = 0;
    Watchdog watchdog;

    for (int i = 0; i < copies && failures < 10; ++i) {
        std::mt19937_64 random(kSeed + static_cast<std::uint64_t>(i));
        std::string description;
        const std::string damaged =
            damage(bytes, static_cast<unsigned>(i % 3), random, description);
        std::filesystem::remove(copy + "-journal");
        writeFile(copy, damaged);
        ++made;
        const std::string where = "copy " + std::to_string(i) + " (" + description + ")";

        // Under the sanitizers one copy takes milliseconds; a minute means a loop.
        watchdog.arm(where, 60s);
        const StoreOutcome outcome = useWithStore(copy, random);
        dbtool::CheckReport report;
        bool checkThrew = false;
        try {
            report = dbtool::checkDatabase(copy);
        } catch (const std::exception &error) {
            checkThrew = true;
            ADD_FAILURE() << where << ": the check threw instead of reporting: " << error.what();
        }
        watchdog.disarm();

        outcome.opened ? ++opened : ++refused;
        if (outcome.opened) {
            const bool full = outcome.outlineRead && outcome.notesRead && outcome.settingsRead;
            full ? ++readFully : ++readFailed;
        }
        report.problems.empty() ? ++checkClean : ++checkProblems;

        bool failed = checkThrew;
        for (const std::string &problem : outcome.problems) {
            ADD_FAILURE() << where << ": " << problem;
            failed = true;
        }
        // A file the check passes must serve the program: open, the whole outline, the settings,
        // the same number of rows. (The check does not read notes, so a note may still fail.)
        if (!checkThrew && report.problems.empty()) {
            if (!outcome.opened || !outcome.outlineRead || !outcome.settingsRead ||
                outcome.rows != report.items) {
                ADD_FAILURE() << where << ": the check found no problem, but the store "
                              << (!outcome.opened         ? "refused the file"
                                  : !outcome.outlineRead  ? "could not read the outline"
                                  : !outcome.settingsRead ? "could not load the settings"
                                                          : "read " + std::to_string(outcome.rows) +
                                                                " rows against the check's " +
                                                                std::to_string(report.items));
                failed = true;
            }
        }
        failures += failed ? 1 : 0;
    }

    std::printf("faultsCorruption: %lld copies made from a %zu-byte database, %lld opened (%lld "
                "read fully, %lld with a read refused), %lld refused at opening, check: %lld "
                "clean, %lld with problems; crashes 0, hangs 0\n",
                made, bytes.size(), opened, readFully, readFailed, refused, checkClean,
                checkProblems);
    std::fflush(stdout);
    EXPECT_EQ(made, copies);
    // The damage reaches every layer: some copies are refused outright, some open and then fail
    // on a damaged page, some the check passes. A corpus missing one of these tests less than
    // it claims to.
    EXPECT_GT(refused, 0);
    EXPECT_GT(readFailed, 0);
    EXPECT_GT(checkClean, 0);
}

} // namespace
} // namespace quillet::crashtest
