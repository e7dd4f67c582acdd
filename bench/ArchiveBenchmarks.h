#pragma once

namespace quillet::bench {

// quillet-db's export of the whole outline as Markdown and as JSON, and a verified backup, at
// each size of outline. Needs registerOutlineBenchmarks to have been called.
void registerArchiveBenchmarks();

} // namespace quillet::bench
