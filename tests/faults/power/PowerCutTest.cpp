// Cuts the power during the scripted workload at every sync of a first, uncut run (just before
// it and just after it), then at random changes, each cut keeping a different random part of
// what was not yet durable; after each, checks every acknowledged change and every file.

#include "faults/power/PowerCutChecks.h"
#include "faults/power/PowerCutWorkload.h"
#include "faults/power/SimulatedDisk.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace quillet::test {
namespace {

struct PowerCutTotals
{
    int stepsUncut = 0;    // steps the uncut run acknowledged
    long long changes = 0; // changes the disk counted in the uncut run
    long long syncs = 0;   // ... of which syncs
    long long cuts = 0;
    long long checked = 0;       // acknowledged changes checked after the cuts
    long long lost = 0;          // ... and not there
    long long lostFiles = 0;     // ... of which files beside the database
    long long torn = 0;          // files under a final name that failed their check
    long long strayVersions = 0; // versions shown under another note's row
    long long tornWrites = 0;    // writes the disk tore at a cut
    std::vector<std::string> strays;
    std::string firstProblem; // the first cut that lost or tore something, and what
};

bool soaking()
{
    const char *soak = std::getenv("QUILLET_SOAK");
    return soak && std::string_view(soak) == "1";
}

void wipe(const std::string &root)
{
    for (const auto &entry : std::filesystem::directory_iterator(root))
        std::filesystem::remove_all(entry.path());
}

// Runs the workload once without a cut, then cuts it cuts times, or more: before and after
// each of the uncut run's syncs, then at random changes.
PowerCutTotals runPowerCuts(Writing writing, long long cuts,
                            NextStart next = NextStart::ReadsTheHistory)
{
    constexpr std::uint64_t kSeed = 0x90e3c075ULL;
    TempFolder folder;
    const std::string root = folder.path("disk");
    std::filesystem::create_directory(root);
    PowerCutTotals totals;

    std::vector<long long> syncs;
    {
        SimulatedDisk disk(root);
        PowerCutWorkload workload(root, writing);
        workload.run([&] { return disk.powerIsOff(); });
        totals.stepsUncut = workload.acknowledged().steps;
        totals.changes = disk.changes();
        syncs = disk.syncs();
        totals.syncs = static_cast<long long>(syncs.size());
        totals.strays = disk.strayFiles();
    }

    std::mt19937_64 random(kSeed);
    std::vector<std::pair<long long, std::uint64_t>> plan;
    for (const long long sync : syncs) {
        plan.emplace_back(sync, random());
        plan.emplace_back(sync + 1, random());
    }
    while (static_cast<long long>(plan.size()) < cuts)
        plan.emplace_back(
            1 + static_cast<long long>(random() % static_cast<std::uint64_t>(totals.changes + 1)),
            random());

    for (const auto &[change, seed] : plan) {
        wipe(root);
        CutVerdict verdict;
        {
            SimulatedDisk disk(root);
            disk.cutBefore(change, seed);
            PowerCutWorkload workload(root, writing);
            workload.run([&] { return disk.powerIsOff(); });
            totals.tornWrites += disk.restart().writesTorn;
            verdict = checkAfterCut(workload.databasePath(), workload.acknowledged(), next);
            totals.strays.insert(totals.strays.end(), disk.strayFiles().begin(),
                                 disk.strayFiles().end());
        }
        ++totals.cuts;
        totals.checked += verdict.checked;
        totals.lost += verdict.lost;
        totals.lostFiles += verdict.lostFiles;
        totals.torn += verdict.torn;
        totals.strayVersions += verdict.strayVersions;
        if ((verdict.lost > 0 || verdict.torn > 0 || verdict.strayVersions > 0) &&
            totals.firstProblem.empty()) {
            totals.firstProblem = "cut before change " + std::to_string(change) + " of " +
                                  std::to_string(totals.changes) + " (seed " +
                                  std::to_string(seed) + "):";
            for (const std::string &problem : verdict.problems)
                totals.firstProblem += "\n  " + problem;
        }
    }
    return totals;
}

void print(const char *what, const PowerCutTotals &totals)
{
    std::printf("%spower cuts: %lld cuts, %lld acknowledged changes checked, %lld lost, %lld torn, "
                "%lld versions under another note\n"
                "  (an uncut run: %d steps, %lld changes, %lld syncs; %lld writes torn at a "
                "sector boundary by the cuts)\n",
                what, totals.cuts, totals.checked, totals.lost, totals.torn, totals.strayVersions,
                totals.stepsUncut, totals.changes, totals.syncs, totals.tornWrites);
    if (!totals.firstProblem.empty())
        std::printf("  first: %s\n", totals.firstProblem.c_str());
    std::fflush(stdout);
}

TEST(faultsPowerCut, EveryAcknowledgedChangeAndEveryFileBesideItSurvivesEveryCut)
{
    const long long cuts = soaking() ? 10000 : 1000;
    const PowerCutTotals totals = runPowerCuts(Writing::AsShipped, cuts);
    print("", totals);

    EXPECT_EQ(totals.stepsUncut, PowerCutWorkload::kSteps);
    EXPECT_EQ(totals.cuts, std::max<long long>(cuts, 2 * totals.syncs));
    EXPECT_EQ(totals.lost, 0) << totals.firstProblem;
    EXPECT_EQ(totals.torn, 0) << totals.firstProblem;
    EXPECT_EQ(totals.strayVersions, 0) << totals.firstProblem;
    EXPECT_TRUE(totals.strays.empty()) << totals.strays.front();
    // Cuts that never tore a write, or a workload that acknowledged nothing, prove little.
    EXPECT_GT(totals.tornWrites, 0);
    EXPECT_GT(totals.checked, totals.cuts);
}

// A cut after the history recorded the move's new IDs but before the notes took them leaves
// the notes as they were, their ID counter too: an item added at the next start under the
// move's place takes the key and the ID the moved item would have had. Whatever the history
// settles when it is next read, the new item must not show the moved note's versions, nor the
// moved note lose them.
TEST(faultsPowerCut, AnItemAddedWhereACutUndidTheMoveShowsNoneOfTheMovedNotesVersions)
{
    const PowerCutTotals totals =
        runPowerCuts(Writing::AsShipped, 0, NextStart::AddsUnderTheMovesPlace);
    print("an item added under the move's place at the next start: ", totals);
    EXPECT_EQ(totals.strayVersions, 0) << totals.firstProblem;
    EXPECT_EQ(totals.lost, 0) << totals.firstProblem;
    EXPECT_EQ(totals.torn, 0) << totals.firstProblem;
}

// The same test against ways of writing that are broken on purpose, cut at every sync: if it
// passed them, its passing the program would mean nothing.
TEST(faultsPowerCut, CheckFindsCommitsWithoutTheFolderSyncAfterTheJournal)
{
    const PowerCutTotals totals = runPowerCuts(Writing::CommitsWithFullSync, 0);
    print("commits with synchronous=FULL: ", totals);
    EXPECT_GT(totals.lost, 0);
}

TEST(faultsPowerCut, CheckFindsCommitsWithNormalSync)
{
    const PowerCutTotals totals = runPowerCuts(Writing::CommitsWithNormalSync, 0);
    print("commits with synchronous=NORMAL: ", totals);
    EXPECT_GT(totals.lost, 0);
}

TEST(faultsPowerCut, CheckFindsAMoveThatLeavesTheVersionsBehind)
{
    const PowerCutTotals totals = runPowerCuts(Writing::MoveWithoutVersions, 0);
    print("a move whose versions stay under the old IDs: ", totals);
    EXPECT_GT(totals.lost, 0);
}

TEST(faultsPowerCut, CheckFindsAMoveThatGivesTheVersionsToEachOthersRows)
{
    const PowerCutTotals totals = runPowerCuts(Writing::MoveCrossingVersions, 0);
    print("a move whose versions follow each other's rows: ", totals);
    EXPECT_GT(totals.strayVersions, 0);
}

TEST(faultsPowerCut, CheckFindsAWriterThatSkipsTheFolderSync)
{
    const PowerCutTotals totals = runPowerCuts(Writing::FolderSyncsSkipped, 0);
    print("files beside the database written without their folder's sync: ", totals);
    EXPECT_GT(totals.lostFiles, 0);
}

} // namespace
} // namespace quillet::test
