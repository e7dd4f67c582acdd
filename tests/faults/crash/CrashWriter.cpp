// The process the crash soak kills: opens a notes database with the store and makes store
// writes without end, the same sequence for the same seed, reporting each write before it
// starts and again once it has returned (see WriterProtocol.h). It stops only when killed, when
// a write throws, or when the test has gone and its pipe is closed.
//
// A save keeps the note it replaces in the history first, as the program does, and a move
// takes the moved rows' versions along, so that the test can check after every kill that each
// note shows its own versions and keeps them.
//
// With "read FILE" it is a reader instead: it opens a file read-only and waits to be killed
// with it open, for the test of what a killed reader leaves beside a copy.
//
// Two deliberately broken ways of writing let the test show that its check finds what it is
// there to find: "ack-early" reports each write as stored before making it (a lost write when
// the kill comes in between), "move-without-versions" moves in the notes alone (the moved
// notes lose their versions), "expanded-row-by-row" stores the expanded flags one row per
// transaction, around the store (a half-applied write when the kill comes part-way).

#include "faults/crash/WriterChoices.h"
#include "faults/crash/WriterProtocol.h"
#include "keeping/Backups.h"
#include "keeping/Deletions.h"
#include "keeping/History.h"
#include "keeping/MovesWithVersions.h"
#include "store/Keys.h"
#include "store/NoteStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillet::crashtest {
namespace {

enum class Mode { Store, AckEarly, MoveWithoutVersions, ExpandedRowByRow };

// The writer keeps the outline small so that the test's check after every kill stays quick,
// and shallow so that subtree deletions remove a handful of rows, not the whole table.
constexpr std::size_t kMaxRows = 60;
constexpr int kMaxDepth = 5;

// One whole line with one write call: the test must never see half a line from a killed writer
// run together with the next one. A failed write means the test has gone; so do we.
void report(const std::string &line)
{
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            std::_Exit(4);
        done += static_cast<std::size_t>(n);
    }
}

class Writer
{
public:
    Writer(NoteStore &store, std::uint64_t seed, std::size_t maxText, Mode mode)
        : m_store(store)
        , m_history(store)
        , m_seed(seed)
        , m_random(seed)
        , m_maxText(maxText)
        , m_mode(mode)
    {
        // The file is the truth: whatever the last writer left, committed or rolled back, is
        // what this one continues from. As the program's start does, new IDs a kill left
        // waiting are settled before anything is written.
        m_history.settleWaitingRenumbering();
        readKeys();
    }

    std::size_t rows() const { return m_keys.size(); }

    void writeOne()
    {
        if (m_mode == Mode::ExpandedRowByRow) {
            storeExpanded();
            return;
        }
        const unsigned choice = below(100);
        if (choice < 38) {
            saveText();
        } else if (choice < 62) {
            if (m_keys.size() < kMaxRows && add())
                return;
            if (!remove())
                saveText();
        } else if (choice < 76) {
            if (!remove() && !add())
                saveText();
        } else if (choice < 88) {
            // A workspace save: the expanded flags, then the settings, as two writes.
            storeExpanded();
            storeSettings();
        } else if (choice < 91) {
            if (!move())
                saveText();
        } else if (choice < 95) {
            // From the copies the deletions keep: its rows take new IDs as a move's do, and the
            // test checks its notes' versions the same way.
            if (!undelete() && !move())
                saveText();
        } else {
            backUp();
        }
    }

private:
    unsigned below(unsigned n)
    {
        return std::uniform_int_distribution<unsigned>(0, n - 1)(m_random);
    }

    std::size_t between(std::size_t low, std::size_t high)
    {
        return std::uniform_int_distribution<std::size_t>(low, high)(m_random);
    }

    // Runs one write between its begin and ack lines; expected is what the call should return,
    // which only the early acknowledgement uses, having no result yet.
    template <class Call>
    void perform(const Write &write, Call &&call, long long expected = 0)
    {
        ++m_sequence;
        const std::string sequence = std::to_string(m_sequence);
        report("begin " + sequence + " " + formatWrite(write));
        if (m_mode == Mode::AckEarly)
            report("ack " + sequence + " " + std::to_string(expected));
        long long result = 0;
        try {
            result = call();
        } catch (const std::exception &error) {
            std::string message = error.what();
            std::replace(message.begin(), message.end(), '\n', ' ');
            report("fail " + sequence + " " + message);
            std::exit(3);
        }
        if (m_mode != Mode::AckEarly)
            report("ack " + sequence + " " + std::to_string(result));
    }

    std::size_t textSize()
    {
        // Mostly short notes, a quarter long enough that one write takes real time.
        const unsigned kind = below(100);
        if (kind < 40)
            return between(0, 1024);
        if (kind < 75)
            return between(1024,
                           std::max<std::size_t>(1024, std::min<std::size_t>(20480, m_maxText)));
        return between(std::min<std::size_t>(20480, m_maxText), m_maxText);
    }

    void saveText()
    {
        const std::string key = m_keys[below(static_cast<unsigned>(m_keys.size()))];
        // A note keeps its tag; one never saved takes a tag no other note has.
        const std::optional<StoredRow> row = m_store.readRow(key);
        std::string tag = row ? noteTag(row->at(3).textView().value_or("")) : std::string();
        const bool keep = !tag.empty();
        if (!keep)
            tag = "[" + std::to_string(m_seed) + "." + std::to_string(m_sequence + 1) + "]";
        const std::string text = tag + " " + makeText(m_random, textSize());
        Write write;
        write.kind = Write::Kind::Text;
        write.key = key;
        write.textSize = text.size();
        write.textHash = textHash(text);
        perform(write, [&] {
            if (keep)
                m_history.keep(*row, false, static_cast<std::int64_t>(std::time(nullptr)));
            m_store.saveText(key, text);
            return 0;
        });
    }

    // A new key as the notes window makes them: a top-level character from "A" up, or a
    // parent's key plus a digit 1 to 9 that no sibling has.
    std::optional<std::string> newKey()
    {
        if (below(5) == 0) {
            const unsigned start = 65 + below(191);
            for (unsigned i = 0; i < 191; ++i) {
                const std::string key = utf8(65 + (start - 65 + i) % 191);
                if (!m_present.count(key))
                    return key;
            }
        }
        std::vector<std::string> parents;
        for (const std::string &key : m_keys)
            if (keys::length(key) < kMaxDepth)
                parents.push_back(key);
        std::shuffle(parents.begin(), parents.end(), m_random);
        for (const std::string &parent : parents) {
            const unsigned start = below(9);
            for (unsigned i = 0; i < 9; ++i) {
                const std::string key = parent + static_cast<char>('1' + (start + i) % 9);
                if (!m_present.count(key))
                    return key;
            }
        }
        return std::nullopt;
    }

    bool add()
    {
        const std::optional<std::string> key = newKey();
        if (!key)
            return false;
        Write write;
        write.kind = Write::Kind::Add;
        write.key = *key;
        write.title = "New Item #" + std::to_string(m_sequence + 1) +
                      (below(2) ? " \xc2\xab\xce\xb5\xc2\xbb 'x'" : "");
        perform(write, [&] {
            m_store.insertItem(write.key, write.title);
            return 0;
        });
        m_keys.push_back(*key);
        m_present.insert(*key);
        return true;
    }

    bool remove()
    {
        std::vector<std::string> candidates;
        for (const std::string &key : m_keys)
            if (key != "A")
                candidates.push_back(key);
        if (candidates.empty())
            return false;
        Write write;
        write.kind = Write::Kind::Delete;
        write.key = candidates[below(static_cast<unsigned>(candidates.size()))];
        const auto inSubtree = [&](const std::string &key) {
            return key.starts_with(write.key);
        };
        // As the notes window deletes: the rows' copy is on the disk before they go.
        std::string copy;
        const auto keepCopy = [&](const std::vector<archive::Row> &rows) {
            copy = deletions::keepCopy(m_store.path(), write.key, rows);
        };
        perform(
            write, [&] { return m_store.deleteSubtree(write.key, keepCopy); },
            std::count_if(m_keys.begin(), m_keys.end(), inSubtree));
        if (!copy.empty())
            m_copies.push_back({copy, write.key});
        std::erase_if(m_keys, inSubtree);
        std::erase_if(m_present, inSubtree);
        return true;
    }

    // A move the store accepts, with its plan worked out before its begin line so that the
    // line can name the key the item takes; its rows' order by ID is read from the file after.
    bool move()
    {
        Write write;
        const std::optional<moves::Plan> plan =
            chooseMove(m_store.connection(), m_keys, kMaxDepth + 2, m_random, write);
        if (!plan)
            return false;
        perform(write, [&] {
            if (m_mode != Mode::MoveWithoutVersions) {
                moving::apply(m_store, m_history, *plan);
                return 0;
            }
            Transaction transaction(m_store.connection());
            moves::apply(m_store.connection(), *plan);
            transaction.commit();
            return 0;
        });
        readKeys();
        return true;
    }

    // A deleted item put back under another item, or at the top level, with new keys and IDs,
    // its versions following; its copy is then marked as put back. Only the copies of this
    // writer's own deletions, which it knows were made.
    bool undelete()
    {
        Write write;
        const std::optional<std::size_t> chosen =
            chooseUndelete(m_store.connection(), m_copies, m_keys, kMaxDepth + 2, m_random, write);
        if (!chosen)
            return false;
        const std::string copy = m_copies[*chosen].file;
        m_copies.erase(m_copies.begin() + static_cast<std::ptrdiff_t>(*chosen));
        perform(write, [&] {
            deletions::restore(m_store, m_history, copy, write.placeKey);
            return 0;
        });
        readKeys();
        return true;
    }

    void readKeys()
    {
        m_keys.clear();
        m_present.clear();
        m_store.scanOutline([&](const OutlineRow &row) {
            const std::string key = row.key.toText().value_or("");
            m_keys.push_back(key);
            m_present.insert(key);
        });
    }

    void storeExpanded()
    {
        Write write;
        write.kind = Write::Kind::Expanded;
        for (std::size_t i = 0; i < m_keys.size(); ++i)
            write.flags.push_back(below(2) == 1);
        perform(write, [&] {
            if (m_mode == Mode::ExpandedRowByRow)
                storeExpandedRowByRow(write.flags);
            else
                m_store.storeExpanded(write.flags);
            return 0;
        });
    }

    // The broken way: every row its own transaction, so that a kill can stop it part-way.
    void storeExpandedRowByRow(const std::vector<bool> &flags)
    {
        std::vector<std::int64_t> ids;
        {
            Statement scan(m_store.connection(), "SELECT ID FROM mynodes ORDER BY ID");
            while (scan.step())
                ids.push_back(scan.columnInt64(0));
        }
        Statement update(m_store.connection(), "UPDATE mynodes SET anoixto=? WHERE ID=?");
        for (std::size_t i = 0; i < flags.size() && i < ids.size(); ++i) {
            update.reset();
            update.bind(1, std::int64_t{flags[i] ? 1 : 0});
            update.bind(2, ids[i]);
            update.run();
        }
    }

    void storeSettings()
    {
        Write write;
        write.kind = Write::Kind::Settings;
        Settings settings;
        for (int position = 1; position <= Settings::kCount; ++position) {
            const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_random()));
            write.settings[static_cast<std::size_t>(position - 1)] = value;
            settings.at(position) = value;
        }
        perform(write, [&] {
            m_store.storeSettings(settings);
            return 0;
        });
    }

    // A verified backup, as the program makes one in the background, kept to three.
    void backUp()
    {
        Write write;
        write.kind = Write::Kind::Backup;
        perform(write, [&] {
            backups::make(m_store.path(), 3);
            return 0;
        });
    }

    NoteStore &m_store;
    NoteHistory m_history;
    std::uint64_t m_seed = 0;
    std::mt19937_64 m_random;
    std::size_t m_maxText;
    Mode m_mode;
    std::vector<std::string> m_keys; // in ID order, as the store keeps them
    std::set<std::string> m_present;
    std::vector<KeptCopy> m_copies; // of this writer's deletions, not put back
    long long m_sequence = 0;
};

} // namespace
} // namespace quillet::crashtest

// "read FILE": opens the file read-only as any reader of a copy does (quillet-db, a restore's
// check), reads it whole, says "ready <rows>" and waits to be killed with it open.
int readUntilKilled(const char *path)
{
    using namespace quillet;
    try {
        Connection db(path, Connection::Mode::ReadOnly);
        std::int64_t rows = 0;
        Statement tables(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
        std::vector<std::string> names;
        while (tables.step())
            names.push_back(tables.columnText(0));
        for (const std::string &name : names) {
            Statement count(db, "SELECT count(*) FROM \"" + name + "\"");
            if (count.step())
                rows += count.columnInt64(0);
        }
        crashtest::report("ready " + std::to_string(rows));
        while (true)
            ::pause();
    } catch (const std::exception &error) {
        crashtest::report(std::string("fail 0 ") + error.what());
        return 3;
    }
}

int main(int argc, char **argv)
{
    using namespace quillet;
    if (argc == 3 && std::string(argv[1]) == "read")
        return readUntilKilled(argv[2]);
    const std::string mode = argc == 5 ? argv[4] : "store";
    if ((argc != 4 && argc != 5) ||
        (mode != "store" && mode != "ack-early" && mode != "move-without-versions" &&
         mode != "expanded-row-by-row")) {
        std::fprintf(stderr,
                     "usage: %s DATABASE SEED MAX_TEXT_BYTES "
                     "[store|ack-early|move-without-versions|expanded-row-by-row]\n"
                     "       %s read FILE\n",
                     argv[0], argv[0]);
        return 2;
    }
    try {
        NoteStore store(argv[1]);
        crashtest::Writer writer(store, std::stoull(argv[2]), std::stoull(argv[3]),
                                 mode == "ack-early" ? crashtest::Mode::AckEarly
                                 : mode == "move-without-versions"
                                     ? crashtest::Mode::MoveWithoutVersions
                                 : mode == "expanded-row-by-row" ? crashtest::Mode::ExpandedRowByRow
                                                                 : crashtest::Mode::Store);
        crashtest::report("ready " + std::to_string(writer.rows()));
        while (true)
            writer.writeOne();
    } catch (const std::exception &error) {
        std::string message = error.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        crashtest::report("fail 0 " + message);
        return 3;
    }
}
