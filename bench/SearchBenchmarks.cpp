#include "SearchBenchmarks.h"

#include "BenchSupport.h"
#include "store/NoteSearch.h"

namespace quillet::bench {

namespace {

void search(benchmark::State &state, const char *word, bool expectHits)
{
    const std::atomic<bool> stop{false};
    SearchResults results;
    for (auto _ : state)
        results = searchNotes(databaseFor(state), {word, true, false, 500}, stop);
    // A search that found nothing, or everything, did not measure what it is named after.
    if (expectHits && (results.total == 0 || results.hits.size() > 500))
        state.SkipWithError("the word was not found as the generator writes it");
    if (!expectHits && results.total != 0)
        state.SkipWithError("a word no note holds was found");
    state.counters["found"] = static_cast<double>(results.total);
}

void searchWord(benchmark::State &state)
{
    search(state, kSearchWord, true);
}

void searchAbsent(benchmark::State &state)
{
    search(state, "quillet", false);
}

} // namespace

void registerSearchBenchmarks()
{
    registerAtEverySize("Search", searchWord);
    registerAtEverySize("SearchAbsent", searchAbsent);
}

} // namespace quillet::bench
