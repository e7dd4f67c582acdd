#pragma once

namespace quillet::bench {

// Registers the editing commands (add an item, delete an item), one instance per size of the
// databases given to registerOutlineBenchmarks, which must be called first.
void registerEditBenchmarks();

} // namespace quillet::bench
