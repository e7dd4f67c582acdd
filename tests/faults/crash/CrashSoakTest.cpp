// Kills a writing process at random moments and checks what the file kept: every write the
// store acknowledged, and of the one write under way at the kill either all or nothing.

#include "faults/crash/ChildProcess.h"
#include "faults/crash/Soaking.h"
#include "faults/crash/StoreModel.h"
#include "faults/crash/Watchdog.h"
#include "faults/crash/WriterProtocol.h"
#include "faults/crash/WriterSession.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>

namespace quillet::crashtest {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

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
    Counts acknowledged{};
    long long killedInWrite = 0; // a write had begun and was not acknowledged
    long long killedInMove = 0;  // ... a move or an undelete
    long long pendingKept = 0;   // ... and the file holds all of it
    long long pendingUndone = 0; // ... and the file holds none of it
    SideFileCounts sideFiles;    // backups and deletion copies checked
    long long journalsLeft = 0;
    long long versionsChecked = 0; // versions read back under their notes after the kills
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
    std::map<std::string, std::size_t> versionsOf; // each note's own versions, by its tag
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
        // Opening the store rolls back whatever the killed writer left half done; reading the
        // history settles whatever a kill left between its file and the notes'.
        watchdog.arm("checking the file after " + where, 120s);
        StoreState found;
        std::string integrity;
        std::vector<RowVersions> versions;
        try {
            {
                NoteStore store(path);
                integrity = integrityCheck(store.connection());
                found = readState(store);
            }
            versions = versionsShown(path);
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
            report.killedInMove +=
                pending->kind == Write::Kind::Move || pending->kind == Write::Kind::Undelete ? 1
                                                                                             : 0;
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
        // Each note shows only its own versions, and, since a kill loses nothing the history
        // committed, at least as many as after the last kill, wherever a move took it.
        if (const std::string problem = versionProblems(versions, versionsOf); !problem.empty())
            return fail(where, problem);
        for (const RowVersions &row : versions)
            report.versionsChecked += static_cast<long long>(row.shownTags.size());
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
    std::printf(
        "faultsCrash: %lld cycles, %lld acknowledged writes checked (text %lld, add %lld, "
        "delete %lld, expanded %lld, settings %lld, backup %lld, move %lld, undelete %lld), "
        "%lld kills inside a write (%lld in a move or undelete; %lld kept whole, %lld rolled back "
        "whole), %lld "
        "journals left by a kill, writes lost %lld, half-applied %lld, %lld deletion "
        "copies, %lld backups and %lld versions checked\n",
        report.cycles, report.acknowledgedWrites(), acks[0], acks[1], acks[2], acks[3], acks[4],
        acks[5], acks[6], acks[7], report.killedInWrite, report.killedInMove, report.pendingKept,
        report.pendingUndone, report.journalsLeft, report.lost, report.halfApplied,
        report.sideFiles.deletionCopies, report.sideFiles.backups, report.versionsChecked);
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
    EXPECT_GT(acks[static_cast<std::size_t>(Write::Kind::Move)], 0);
    EXPECT_GT(acks[static_cast<std::size_t>(Write::Kind::Undelete)], 0);
    EXPECT_GT(report.versionsChecked, 0);
}

// The soak's model is only as good as the writer's reports; each kind of write must come
// through the line unchanged, whatever bytes its key and title hold.
TEST(faultsCrash, WriterReportsReadBackAsTheSameWrite)
{
    std::vector<Write> writes(12);
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
    writes[7].kind = Write::Kind::Move;
    writes[7].key = "\xc3\x89"
                    "1 2";
    writes[7].place = Write::Place::Under;
    writes[7].placeKey = "B3";
    writes[7].newKey = "B34";
    writes[8].kind = Write::Kind::Move;
    writes[8].key = "C";
    writes[8].newKey = "D";
    writes[9].kind = Write::Kind::Move;
    writes[9].key = "C1";
    writes[9].place = Write::Place::After;
    writes[9].placeKey = "C2";
    writes[9].newKey = "C1";
    writes[10].kind = Write::Kind::Undelete;
    writes[10].key = "B 2";
    writes[10].newKey = "E";
    writes[10].rows = {{"E", "", "Null", 0}, {"E1", "a b\n", textDigest("x"), 1}};
    writes[11].kind = Write::Kind::Undelete;
    writes[11].key = "B2";
    writes[11].place = Write::Place::Under;
    writes[11].placeKey = "C";
    writes[11].newKey = "C3";
    writes[11].rows = {{"C3", "t", "Null", -1}};
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
    EXPECT_EQ(parseWrite("move 43 x 44 44"), std::nullopt);
    EXPECT_EQ(parseWrite("move 43 t 44 44"), std::nullopt);
    EXPECT_EQ(parseWrite("move 43 u - 44"), std::nullopt);
    const std::string undelete = formatWrite(writes[11]);
    EXPECT_EQ(parseWrite(undelete.substr(0, undelete.rfind(' '))), std::nullopt);
    EXPECT_EQ(parseWrite("undelete 43 - 45 99999999999999999999"), std::nullopt);
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

TEST(faultsCrash, CheckFindsAMoveThatLeavesTheVersionsBehind)
{
    const SoakReport report = runSoak({.cycles = 100, .writerMode = "move-without-versions"});
    std::printf("faultsCrash, writer moving without the versions: %s\n", report.failure.c_str());
    EXPECT_NE(report.failure.find(" versions, "), std::string::npos) << report.failure;
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
