#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// The commands of quillet-db that live in files of their own, for the command table.
namespace quillet::dbtool {

struct Arguments
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--format" to its value
};

// Says the message as the tool's failure on err; returns the exit status of a failure, 1.
int fail(std::ostream &err, const std::string &message);

extern const char *const kExportHelp;
int exportCommand(const Arguments &args, std::ostream &out, std::ostream &err);

extern const char *const kHistoryHelp;
int historyCommand(const Arguments &args, std::ostream &out, std::ostream &err);

extern const char *const kMoveHelp;
int moveCommand(const Arguments &args, std::ostream &out, std::ostream &err);

extern const char *const kImportHelp;
int importCommand(const Arguments &args, std::ostream &out, std::ostream &err);

} // namespace quillet::dbtool
