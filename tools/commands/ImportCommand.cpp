#include "tools/commands/Commands.h"
#include "tools/commands/DbTool.h"
#include "tools/import/OutlineImport.h"

#include <map>
#include <ostream>

namespace quillet::dbtool {

const char *const kImportHelp =
    "Usage: quillet-db import FILE PATH [--from opml|markdown|ctd|ctb]\n\n"
    "Imports the outline of another program's file. When nothing is at PATH, makes a new\n"
    "notes database there holding it; when PATH is a notes database, adds it under one new\n"
    "top-level item, \"Imported from FILE\" (refused while Quillet has PATH open).\n"
    "  opml      OPML: outline elements as items, text as the title, _note as the note\n"
    "  markdown  a folder: each .md file an item titled by its name (or, in a folder not\n"
    "            numbered as an export's, by the title in its front matter), each folder\n"
    "            with Markdown in it an item whose note is NAME.md beside it or index.md or\n"
    "            README.md inside it\n"
    "  ctd, ctb  CherryTree documents, XML or SQLite, unencrypted\n"
    "The format is told by the name when --from is not given (a folder is Markdown). Items\n"
    "with more children than the outline's keys hold are grouped under \"More (...)\" items.\n"
    "A file that cannot be read whole is refused, with the reason, changing nothing. A\n"
    "report says what was imported, converted and skipped.\n";

namespace {

void line(std::string &text, std::size_t count, const char *one, const char *many)
{
    if (count > 0)
        text += "  " + std::to_string(count) + " " + (count == 1 ? one : many) + "\n";
}

} // namespace

std::string describe(const ImportReport &report, const std::string &file, const std::string &path)
{
    std::string text = "Imported " + std::to_string(report.items) +
                       (report.items == 1 ? " item" : " items") + " from " + file + " into " +
                       path + (report.into.empty() ? "" : ", under \"" + report.into + "\"") +
                       ".\n";
    if (report.groups > 0)
        text += "Made " + std::to_string(report.groups) +
                (report.groups == 1 ? " group" : " groups") +
                " \"More (...)\" to hold items beyond nine under one item (or beyond the top "
                "level's keys).\n";
    std::string converted;
    line(converted, report.formats, "note in one format throughout, given that format",
         "notes in one format throughout, given that format");
    line(converted, report.mixedFormats, "note of mixed formats, given its first run's",
         "notes of mixed formats, given their first run's");
    line(converted, report.frontMatterTitles, "title taken from front matter",
         "titles taken from front matter");
    line(converted, report.codeBoxes, "code box kept as text", "code boxes kept as text");
    line(converted, report.formulas, "formula kept as its LaTeX source",
         "formulas kept as their LaTeX source");
    line(converted, report.tables, "table as tab-separated lines", "tables as tab-separated lines");
    line(converted, report.images, "image as the line [image]", "images as the line [image]");
    line(converted, report.attachments, "attached file as the line [file NAME]",
         "attached files as the line [file NAME]");
    line(converted, report.latin1, "file or name with bytes that are not UTF-8, read as Latin-1",
         "files or names with bytes that are not UTF-8, read as Latin-1");
    line(converted, report.unknownAttributes, "unknown attribute ignored",
         "unknown attributes ignored");
    line(converted, report.anchors, "anchor left out (it shows nothing)",
         "anchors left out (they show nothing)");
    if (!converted.empty())
        text += "Converted:\n" + converted;
    if (!report.skipped.empty()) {
        text += "Skipped:\n";
        for (const std::string &skipped : report.skipped)
            text += "  " + skipped + "\n";
    }
    return text;
}

int importCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    static const std::map<std::string, ImportFormat> formats{
        {"opml", ImportFormat::Opml},
        {"markdown", ImportFormat::Markdown},
        {"ctd", ImportFormat::CherryTreeXml},
        {"ctb", ImportFormat::CherryTreeSqlite}};
    std::optional<ImportFormat> format;
    if (const auto from = args.options.find("--from"); from != args.options.end()) {
        if (!formats.contains(from->second)) {
            err << "quillet-db import: --from must be opml, markdown, ctd or ctb.\n";
            return 2;
        }
        format = formats.at(from->second);
    }
    const std::string &file = args.positional[0];
    const std::string &path = args.positional[1];
    try {
        out << describe(importOutline(file, path, format), file, path);
    } catch (const ImportRefused &refused) {
        err << "quillet-db: " << refused.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace quillet::dbtool
