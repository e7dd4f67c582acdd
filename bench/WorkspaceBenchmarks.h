#pragma once

namespace quillet::bench {

// The name the transaction figure is registered under: the expanded flags of every row
// written in one transaction with the engine's own calls. Saving the workspace is divided by it.
inline constexpr const char *kTransactionBaselineName = "TransactionBaseline";

// Registers the saving of the workspace (every expanded flag and the settings) and the
// transaction baseline it is divided by, one instance per size of the databases given to
// registerOutlineBenchmarks, which must be called first.
void registerWorkspaceBenchmarks();

} // namespace quillet::bench
