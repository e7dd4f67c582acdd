#include "keeping/DurableFiles.h"
#include "store/Schema.h"
#include "tools/commands/Commands.h"
#include "tools/export/DbExport.h"
#include "tools/export/OutlineExport.h"
#include "tools/shared/MarkdownNames.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillet::dbtool {

const char *const kExportHelp =
    "Usage: quillet-db export PATH --format FORMAT [--output FILE] [--with-history]\n\n"
    "Writes the whole outline in outline order, each item's title and note:\n"
    "  markdown  headings by level (levels below 6 as level 6), notes as paragraphs\n"
    "  html      one page, each note in its own font, size, colours, bold and italic\n"
    "  text      titles indented by level, notes indented below them\n"
    "  json      every column of every row and the settings: a complete copy that\n"
    "            import-json makes a database from\n"
    "  opml      OPML 2.0: titles as text, notes as _note, the open items in\n"
    "            expansionState; quillet-db import reads it back\n"
    "  markdown-folder\n"
    "            --output names a folder that must not exist: one \"NN Title.md\" per item\n"
    "            holding its note as it is, a folder \"NN Title\" for an item with children\n"
    "            holding them and its note as index.md; quillet-db import reads it back.\n"
    "            The names along any path inside share 3000 bytes: an item's name is cut to\n"
    "            3000 / k - 1 bytes (255 at most), k the number of names on the deepest\n"
    "            path through it (an index.md counted); an outline so deep that a name\n"
    "            would get fewer than 16 bytes (k over 176) is refused.\n"
    "Rows Quillet leaves out of the outline follow at the end. Standard output unless\n"
    "--output names a file, which then appears only once it is complete. Files are made with\n"
    "the database file's permissions. With --format json, --with-history adds the notes'\n"
    "earlier versions kept beside the database; import-json keeps them for the new one.\n";

namespace {

bool sameFile(const std::string &a, const std::string &b)
{
    struct stat first
    {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// What the file could not hold as written is said, so that nobody takes it for a whole copy:
// JSON is that copy.
std::string replacedText(const ExportReport &report)
{
    if (report.replaced == 0)
        return {};
    return "quillet-db export: " + std::to_string(report.replaced) +
           (report.replaced == 1 ? " character" : " characters") +
           " that the file cannot hold (control characters, bytes that are not UTF-8) written "
           "as U+FFFD; --format json keeps every byte.\n";
}

// Writes one export to the stream.
ExportReport write(const std::string &path, const std::string &format, std::ostream &out,
                   bool withHistory)
{
    static const std::map<std::string, ExportFormat> formats{{"markdown", ExportFormat::Markdown},
                                                             {"html", ExportFormat::Html},
                                                             {"text", ExportFormat::Text},
                                                             {"json", ExportFormat::Json}};
    if (format == "opml")
        return exportOpml(path, out);
    ExportReport report;
    report.replaced = exportDatabase(path, formats.at(format), out, withHistory);
    return report;
}

// The file appears whole or not at all, with the database's permissions: through the one
// durable write of the files that hold notes.
ExportReport writeFile(const std::string &path, const std::string &format, const std::string &file,
                       bool withHistory)
{
    schema::verifyFile(path);
    durable::PendingFile written(file, durable::fileModeFor(path));
    const ExportReport report = write(path, format, written.stream(), withHistory);
    written.commit(true);
    return report;
}

} // namespace

int exportCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    const std::string &path = args.positional[0];
    const auto format = args.options.find("--format");
    static const std::vector<std::string> known{"markdown", "html", "text",
                                                "json",     "opml", "markdown-folder"};
    if (format == args.options.end() ||
        std::find(known.begin(), known.end(), format->second) == known.end()) {
        err << "quillet-db export: --format must be markdown, html, text, json, opml or "
               "markdown-folder.\n";
        return 2;
    }
    const bool withHistory = args.options.count("--with-history") > 0;
    if (withHistory && format->second != "json") {
        err << "quillet-db export: --with-history goes with --format json only.\n";
        return 2;
    }
    const auto output = args.options.find("--output");
    if (format->second == "markdown-folder") {
        if (output == args.options.end()) {
            err << "quillet-db export: markdown-folder needs --output, a folder to make.\n";
            return 2;
        }
        const ExportReport report = exportMarkdownFolder(path, output->second);
        out << "Exported " << report.items << " items of " << path << " to the folder "
            << output->second << ".\n";
        if (report.shortened > 0)
            out << report.shortened << (report.shortened == 1 ? " title was" : " titles were")
                << " cut in the names, to keep each name within 255 bytes and each path in the "
                   "folder within "
                << markdownnames::kPathBudget << " (see --help).\n";
        return 0;
    }
    if (output == args.options.end()) {
        const ExportReport report = write(path, format->second, out, withHistory);
        out.flush();
        err << replacedText(report);
        return out ? 0 : fail(err, "writing to standard output failed");
    }
    const std::string &file = output->second;
    if (sameFile(file, path))
        return fail(err, "the output " + file + " is the database itself; nothing was written.");
    const ExportReport report = writeFile(path, format->second, file, withHistory);
    out << "Exported " << path << " to " << file << ".\n";
    err << replacedText(report);
    return 0;
}

} // namespace quillet::dbtool
