#include "keeping/RecoveryFile.h"

#include "keeping/DurableFiles.h"
#include "keeping/Places.h"

#include <system_error>

namespace quillet::recovery {

std::string write(const std::string &databasePath, std::string_view key, std::string_view text,
                  const std::vector<std::string> &fallbackFolders)
{
    const mode_t mode = durable::fileModeFor(databasePath);
    for (const std::string &file :
         places::recoveryFiles(databasePath, key, durable::timestamp(), fallbackFolders)) {
        try {
            durable::writeFile(file, text, mode);
            return file;
        } catch (const std::system_error &) {
            // The next place, then.
        }
    }
    return {};
}

} // namespace quillet::recovery
