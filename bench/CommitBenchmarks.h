#pragma once

namespace quillet::bench {

// The names the two commit figures are registered under: one note saved through the store,
// each save its own transaction, with the store's own setting (the folder synced once the
// journal is deleted) and with full sync alone.
inline constexpr const char *kCommitName = "Commit";
inline constexpr const char *kCommitFullSyncName = "CommitFullSync";
// The same save when the note it replaces is kept in the history first, as the first save of a
// visit to the item does.
inline constexpr const char *kCommitKeepingVersionName = "CommitKeepingVersion";

// Registers both at each size of outline. Needs registerOutlineBenchmarks to have been called.
void registerCommitBenchmarks();

} // namespace quillet::bench
