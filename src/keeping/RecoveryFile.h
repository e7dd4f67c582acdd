#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet::recovery {

// Writes the text of a note that could not be stored to its recovery file, beside the database
// or else in the fallback folders in turn, whole and with the database's own permissions.
// Returns the file written; empty when none could be.
std::string write(const std::string &databasePath, std::string_view key, std::string_view text,
                  const std::vector<std::string> &fallbackFolders);

} // namespace quillet::recovery
