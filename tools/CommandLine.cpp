#include "store/StoreError.h"
#include "tools/DbTool.h"

#include <ostream>
#include <system_error>

namespace quillet::dbtool {

namespace {

constexpr const char *kUsage =
    "Usage: quillet-db init PATH    create a new notes database at PATH\n"
    "       quillet-db check PATH   list the problems of the notes database at PATH\n"
    "\n"
    "init never overwrites a file; check opens the file read-only and never changes it.\n"
    "Exit status: 0 done or no problems, 1 failed or problems found, 2 usage error.\n";

int usage(std::ostream &err)
{
    err << kUsage;
    return 2;
}

int init(const std::string &path, std::ostream &out, std::ostream &err)
{
    try {
        initDatabase(path);
    } catch (const FileExists &error) {
        err << "quillet-db: " << error.what() << '\n';
        return 1;
    } catch (const std::system_error &error) {
        err << "quillet-db: " << error.what() << '\n';
        return 1;
    } catch (const StoreError &error) {
        err << "quillet-db: creating " << path << " failed: " << error.message()
            << " The partial file was removed.\n";
        return 1;
    }
    out << "Created a new notes database at " << path << ".\n";
    return 0;
}

int check(const std::string &path, std::ostream &out)
{
    const CheckReport report = checkDatabase(path);
    if (report.problems.empty()) {
        out << "No problems found in " << path << " (" << report.items << " items, "
            << report.settings << " settings).\n";
        return 0;
    }
    for (const Problem &problem : report.problems)
        out << problem.text << '\n';
    const std::size_t count = report.problems.size();
    out << count << (count == 1 ? " problem" : " problems") << " found in " << path << ".\n";
    return 1;
}

} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    if (args.size() != 2) {
        if (!args.empty() && args[0] != "--help" && args[0] != "init" && args[0] != "check")
            err << "quillet-db: unknown command \"" << args[0] << "\".\n";
        return usage(err);
    }
    if (args[0] == "init")
        return init(args[1], out, err);
    if (args[0] == "check")
        return check(args[1], out);
    err << "quillet-db: unknown command \"" << args[0] << "\".\n";
    return usage(err);
}

} // namespace quillet::dbtool
