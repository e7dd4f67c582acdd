// Kills a writing process at random moments and checks what the file kept: every write the
// store acknowledged, and of the one write under way at the kill either all or nothing.

#include "faults/crash/ChildProcess.h"
#include "faults/crash/Soaking.h"
#include "faults/crash/StoreModel.h"
#include "faults/crash/Watchdog.h"
#include "faults/crash/WriterProtocol.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sys/wait.h>

namespace quillet::crashtest {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// ---- One writer's lines --------------------------------------------------------------------

// Follows a writer's report: acknowledged writes go into the model at once; a begun write stays
// pending until its ack. Returns true from onLine to stop reading (ready, or a problem).
class Session
{
public:
    explicit Session(StoreState &model)
        : m_model(model)
    {
    }

    bool onLine(std::string_view line)
    {
        const std::vector<std::string_view> w = words(line);
        if (w[0] == "ready" && w.size() == 2) {
            if (w[1] != std::to_string(m_model.rows.size()))
                return problem("the writer read " + std::string(w[1]) +
                               " rows from the file, the model has " +
                               std::to_string(m_model.rows.size()));
            m_ready = true;
            return true;
        }
        if (w[0] == "begin" && w.size() >= 3) {
            if (m_pending)
                return problem("a write began before the last one was acknowledged: " +
                               std::string(line));
            const std::size_t start = w[0].size() + w[1].size() + 2;
            m_pending = parseWrite(line.substr(start));
            if (!m_pending)
                return problem("unreadable write: " + std::string(line));
            m_pendingSequence = std::string(w[1]);
            return false;
        }
        if (w[0] == "ack" && w.size() == 3) {
            if (!m_pending || w[1] != m_pendingSequence)
                return problem("ack without its begin: " + std::string(line));
            std::optional<StoreState> after = applied(m_model, *m_pending);
            if (!after)
                return problem("the acknowledged write does not fit the model: " +
                               formatWrite(*m_pending));
            if (m_pending->kind == Write::Kind::Delete) {
                const std::size_t removed = m_model.rows.size() - after->rows.size();
                if (w[2] != std::to_string(removed))
                    return problem("deleting " + shown(m_pending->key) + " removed " +
                                   std::string(w[2]) + " rows; the model says " +
                                   std::to_string(removed));
            }
            m_model = std::move(*after);
            ++m_acknowledged[static_cast<std::size_t>(m_pending->kind)];
            m_pending.reset();
            return false;
        }
        return problem("the writer said: " + std::string(line));
    }

    bool ready() const { return m_ready; }
    const std::optional<Write> &pending() const { return m_pending; }
    const std::string &error() const { return m_error; }
    const std::array<long long, 6> &acknowledged() const { return m_acknowledged; }

private:
    bool problem(std::string text)
    {
        m_error = std::move(text);
        return true;
    }

    StoreState &m_model;
    bool m_ready = false;
    std::optional<Write> m_pending;
    std::string m_pendingSequence;
    std::string m_error;
    std::array<long long, 6> m_acknowledged{}; // by Write::Kind
};

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status))
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    return "wait status " + std::to_string(status);
}

// ---- The soak -------------------------------------------------------------------------------

struct SoakOptions
{
    int cycles = 0;
    std::string writerMode = "store";
    std::vector<test::Row> startRows{{"A", "My notes"}};
};

struct SoakReport
{
    long long cycles = 0;
    std::array<long long, 6> acknowledged{}; // by Write::Kind
    long long killedInWrite = 0;             // a write had begun and was not acknowledged
    long long pendingKept = 0;               // ... and the file holds all of it
    long long pendingUndone = 0;             // ... and the file holds none of it
    SideFileCounts sideFiles;                // backups and deletion copies checked
    long long journalsLeft = 0;
    long long lost = 0;
    long long halfApplied = 0;
    std::string failure; // what stopped the soak; empty when every cycle checked out

    long long acknowledgedWrites() const
    {
        long long total = 0;
        for (long long count : acknowledged)
            total += count;
        return total;
    }
};

// Starts a writer on one file again and again, kills it after a random delay, and checks the
// file against the model after every kill. Stops at the first cycle that goes wrong.
SoakReport runSoak(const SoakOptions &options)
{
    // Notes of up to 200 KB make a write span several milliseconds, so that kills land inside
    // writes, in the middle of the journal and database writes, and not only between them.
    const std::size_t maxText = 200 * 1024;
    constexpr std::uint64_t kSeed = 0x51a7e5eedULL;

    test::TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    test::createDatabase(path, options.startRows);
    StoreState model;
    for (const test::Row &row : options.startRows)
        model.rows.push_back(RowState{row.key, row.title, textDigest(""), row.expanded ? 1 : 0});

    SoakReport report;
    Watchdog watchdog;
    std::set<std::string> copiesRead;
    long long deletionsDone = 0;
    auto fail = [&](const std::string &where, const std::string &what) {
        report.failure = where + ": " + what;
        return report;
    };

    for (int cycle = 0; cycle < options.cycles; ++cycle) {
        const std::uint64_t seed = kSeed * 1000003ULL + static_cast<std::uint64_t>(cycle);
        // Up to 30 ms mostly: kills early in a writer's life, inside its first writes. Where a
        // synchronous commit takes tens of milliseconds that covers a write or two, so one cycle
        // in five runs up to 200 ms, for runs of acknowledged writes (a workspace save's two
        // writes among them) to be checked as well.
        std::mt19937_64 timing(seed ^ 0x9e3779b97f4a7c15ULL);
        const int longest = timing() % 5 == 0 ? 200000 : 30000;
        const auto delay =
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, longest)(timing));
        const std::string where = "cycle " + std::to_string(cycle) + " (writer seed " +
                                  std::to_string(seed) + ", kill after " +
                                  std::to_string(delay.count()) + " us)";

        Session session(model);
        auto onLine = [&](std::string_view line) {
            return session.onLine(line);
        };
        int status = 0;
        {
            ChildProcess writer({QUILLET_CRASH_WRITER, path, std::to_string(seed),
                                 std::to_string(maxText), options.writerMode});
            // The delay runs from the moment the writer is ready to write, so that start-up
            // time, long under the sanitizers, does not eat it.
            ChildProcess::Stop stop = writer.readLines(Clock::now() + 60s, onLine);
            if (stop != ChildProcess::Stop::Done || !session.ready())
                return fail(where, "the writer did not become ready: " +
                                       (session.error().empty() ? std::string("no ready line")
                                                                : session.error()));
            stop = writer.readLines(Clock::now() + delay, onLine);
            if (stop != ChildProcess::Stop::Deadline) {
                const int early = stop == ChildProcess::Stop::EndOfOutput ? writer.wait() : 0;
                return fail(where, "the writer stopped before the kill: " + session.error() + " " +
                                       describeStatus(early));
            }
            writer.kill();
            // Acks already in the pipe are acknowledged writes all the same.
            stop = writer.readLines(Clock::now() + 60s, onLine);
            if (stop != ChildProcess::Stop::EndOfOutput)
                return fail(where, "after the kill: " + (session.error().empty()
                                                             ? std::string("the pipe stayed open")
                                                             : session.error()));
            status = writer.wait();
        }
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            return fail(where, "the writer was not killed but " + describeStatus(status));
        ++report.cycles;
        for (std::size_t kind = 0; kind < report.acknowledged.size(); ++kind)
            report.acknowledged[kind] += session.acknowledged()[kind];
        deletionsDone += session.acknowledged()[static_cast<std::size_t>(Write::Kind::Delete)];

        if (std::filesystem::exists(path + "-journal"))
            ++report.journalsLeft;
        // Opening the store rolls back whatever the killed writer left half done.
        watchdog.arm("checking the file after " + where, 120s);
        StoreState found;
        std::string integrity;
        try {
            NoteStore store(path);
            integrity = integrityCheck(store.connection());
            found = readState(store);
        } catch (const std::exception &error) {
            watchdog.disarm();
            return fail(where,
                        std::string("the file cannot be read after the kill: ") + error.what());
        }
        watchdog.disarm();
        if (integrity != "ok")
            return fail(where, "integrity_check says: " + integrity);

        const std::optional<Write> &pending = session.pending();
        // The rows first, so that a write lost is reported as such; the files beside the
        // database after, once the rows are known to hold what they should.
        bool pendingDeletionKept = false;
        if (!pending) {
            if (found != model) {
                ++report.lost;
                return fail(where, "acknowledged writes are missing:" + differences(model, found));
            }
        } else {
            ++report.killedInWrite;
            const std::optional<StoreState> after = applied(model, *pending);
            if (!after)
                return fail(where,
                            "the write under way does not fit the model: " + formatWrite(*pending));
            if (found == model) {
                ++report.pendingUndone;
            } else if (found == *after) {
                ++report.pendingKept;
                pendingDeletionKept = pending->kind == Write::Kind::Delete;
                model = *after;
            } else if (untouchedBy(found, *pending) != untouchedBy(model, *pending)) {
                ++report.lost;
                return fail(where, "acknowledged writes are missing (killed during " +
                                       formatWrite(*pending) + "):" + differences(model, found));
            } else {
                ++report.halfApplied;
                return fail(where,
                            "the write under way was half applied: " + formatWrite(*pending) +
                                "\n  against the state before it:" + differences(model, found) +
                                "\n  against the state after it:" + differences(*after, found));
            }
        }
        // A deletion the kill interrupted may have left its copy, or its copy and its rows gone.
        deletionsDone += pendingDeletionKept ? 1 : 0;
        if (const std::string problem =
                sideFileProblems(path, deletionsDone, copiesRead, report.sideFiles);
            !problem.empty())
            return fail(where, problem);
    }
    return report;
}

TEST(faultsCrash, KilledWriterKeepsEveryAcknowledgedWriteAndNoHalfWrite)
{
    const int cycles = soaking() ? 10000 : 200;
    const SoakReport report = runSoak({.cycles = cycles});

    const auto &acks = report.acknowledged;
    std::printf("faultsCrash: %lld cycles, %lld acknowledged writes checked (text %lld, add %lld, "
                "delete %lld, expanded %lld, settings %lld, backup %lld), %lld kills inside a "
                "write (%lld kept whole, %lld rolled back whole), %lld journals left by a kill, "
                "writes lost %lld, half-applied %lld, %lld deletion copies and %lld backups "
                "checked\n",
                report.cycles, report.acknowledgedWrites(), acks[0], acks[1], acks[2], acks[3],
                acks[4], acks[5], report.killedInWrite, report.pendingKept, report.pendingUndone,
                report.journalsLeft, report.lost, report.halfApplied,
                report.sideFiles.deletionCopies, report.sideFiles.backups);
    std::fflush(stdout);

    EXPECT_EQ(report.failure, "");
    EXPECT_EQ(report.cycles, cycles);
    EXPECT_EQ(report.lost, 0);
    EXPECT_EQ(report.halfApplied, 0);
    // A soak whose kills never land inside a write, or whose writer never got a write through,
    // proves nothing about either.
    EXPECT_GT(report.acknowledgedWrites(), 0);
    EXPECT_GT(report.killedInWrite, 0);
    EXPECT_GT(report.sideFiles.deletionCopies, 0);
    EXPECT_GT(report.sideFiles.backups, 0);
}

// The soak's model is only as good as the writer's reports; each kind of write must come
// through the line unchanged, whatever bytes its key and title hold.
TEST(faultsCrash, WriterReportsReadBackAsTheSameWrite)
{
    std::vector<Write> writes(7);
    writes[0].kind = Write::Kind::Text;
    writes[0].key = "\xc3\x89"
                    "12";
    writes[0].textSize = 204800;
    writes[0].textHash = textHash("some text");
    writes[1].kind = Write::Kind::Add;
    writes[1].key = "B3";
    writes[1].title = "line\nbreak and  spaces \xce\xb1";
    writes[2].kind = Write::Kind::Add;
    writes[2].key = "C";
    writes[3].kind = Write::Kind::Delete;
    writes[3].key = "A 1";
    writes[4].kind = Write::Kind::Expanded;
    writes[4].flags = {true, false, false, true};
    writes[5].kind = Write::Kind::Settings;
    writes[5].settings[0] = -2147483647 - 1;
    writes[5].settings[29] = 2147483647;
    writes[6].kind = Write::Kind::Backup;
    for (const Write &write : writes) {
        const std::string line = formatWrite(write);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(parseWrite(line), write) << line;
    }
    // A cut or garbled line is never taken for some other write.
    const std::string settings = formatWrite(writes[5]);
    EXPECT_EQ(parseWrite(settings.substr(0, settings.rfind(' '))), std::nullopt);
    EXPECT_EQ(parseWrite("text 4 12"), std::nullopt);
    EXPECT_EQ(parseWrite("text 4g 1 2"), std::nullopt);
    EXPECT_EQ(parseWrite("expanded 0120"), std::nullopt);
    EXPECT_EQ(parseWrite("settings 99999999999" + settings.substr(settings.find(' ', 9))),
              std::nullopt);
}

// The same check against writers that break the rules on purpose: if it passed them, its
// passing the store would mean nothing.
TEST(faultsCrash, CheckFindsAWriteAcknowledgedBeforeItWasStored)
{
    const SoakReport report = runSoak({.cycles = 100, .writerMode = "ack-early"});
    std::printf("faultsCrash, writer acknowledging early: %s\n", report.failure.c_str());
    EXPECT_EQ(report.lost, 1) << report.failure;
    EXPECT_EQ(report.halfApplied, 0) << report.failure;
}

TEST(faultsCrash, CheckFindsExpandedFlagsStoredPartWay)
{
    // Forty rows, one transaction each: a kill within 30 ms nearly always lands part-way.
    std::vector<test::Row> rows{{"A", "My notes"}};
    for (char key = 'B'; key < 'B' + 39; ++key)
        rows.push_back({std::string(1, key), "Item", key % 2 == 0});
    const SoakReport report =
        runSoak({.cycles = 100, .writerMode = "expanded-row-by-row", .startRows = rows});
    std::printf("faultsCrash, writer storing row by row: %s\n", report.failure.c_str());
    EXPECT_EQ(report.halfApplied, 1) << report.failure;
    EXPECT_EQ(report.lost, 0) << report.failure;
}

} // namespace
} // namespace quillet::crashtest
