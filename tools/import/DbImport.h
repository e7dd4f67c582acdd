#pragma once

#include <string>

namespace quillet::dbtool {

// Makes a new database at path from a JSON export, with every row's ID and values as they
// were. Refuses (FileExists) anything at path, and (std::runtime_error, naming the rows) a file
// whose keys break the key scheme or the parent-before-child order, or whose settings are not
// 1 to 30 rows. Kept versions the export holds go into the new database's history file, which
// must not exist yet. On any failure, the new files are removed again.
void importJson(const std::string &jsonPath, const std::string &path);

} // namespace quillet::dbtool
