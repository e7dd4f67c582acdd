#pragma once

#include "tools/check/DbCheck.h"
#include "tools/check/DbStats.h"
#include "tools/export/DbExport.h"
#include "tools/export/OutlineExport.h"
#include "tools/import/DbImport.h"
#include "tools/import/ImportReport.h"
#include "tools/import/OutlineImport.h"

#include <iosfwd>
#include <string>
#include <vector>

// quillet-db: makes new notes databases, checks them without changing them, exports and imports
// them, backs them up and restores them, counts what they hold, and puts deleted items back.
// The executable only forwards its arguments to run(); everything else is reached through this
// header (the check, the exports and the imports from their rooms) so the tests can call it
// directly.
namespace quillet::dbtool {

// The report of an import, as lines for a person.
std::string describe(const ImportReport &report, const std::string &file, const std::string &path);

// Runs the tool on its arguments (the program name left out) and returns the exit status:
// 0 done or no problems, 1 failed or problems found, 2 the arguments were not understood.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace quillet::dbtool
