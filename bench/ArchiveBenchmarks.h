#pragma once

#include <string>

namespace quillet::bench {

// quillet-db's export of the whole outline as Markdown and as JSON, the export to a file and
// the import of that file, and a verified backup, at each size of outline. Needs
// registerOutlineBenchmarks to have been called.
void registerArchiveBenchmarks();

// The path of a JSON export of the database at path, made when it is not there yet.
std::string jsonExportOf(const std::string &path);

} // namespace quillet::bench
