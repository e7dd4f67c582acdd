#pragma once

#include <optional>
#include <string>

// The peak resident memory of a fresh start-up and of an import, each measured in a process of
// its own that this program starts anew:
//   quillet-bench --startup-rss PATH      the main window started on PATH and painted, then
//                                         one search of every title and note
//   quillet-bench --import-rss JSON PATH  JSON imported into a new database at PATH
namespace quillet::bench {

// The peak resident memory of this process so far, in kilobytes.
long peakRssKb();

// Run as "quillet-bench --startup-rss PATH", "--spelling-rss PATH" or "--import-rss JSON
// PATH": starts the measuring process ("...-measure" with the same arguments) and passes on its
// output and its exit status.
int measuringChild(int argc, char **argv);

// Run as "quillet-bench --startup-rss-measure PATH": starts the main window on PATH and prints
// the peak resident memory before the window was built, once it is painted and after a search;
// exits 1 when the window did not start.
int measureStartupInThisProcess(int argc, char **argv);

// Run as "quillet-bench --import-rss-measure JSON PATH": imports JSON into a new database at
// PATH, prints the peak resident memory and removes the database again.
int measureImportInThisProcess(char **argv);

// Peak resident memory of a fresh start-up, in kilobytes.
struct RssFigure
{
    long bareKb = 0;    // the toolkit alone, before the window was built
    long startupKb = 0; // the outline painted
    long searchKb = 0;  // after one search of every title and note, too
};

// The figure of a start-up on the database at path, whose outline holds items; nothing when the
// start-up failed, asked anything or showed another number of items.
std::optional<RssFigure> measureStartupRss(const std::string &path, int items);

// The peak resident memory of an import of the database's JSON export, in kilobytes.
std::optional<long> measureImportRss(const std::string &path);

} // namespace quillet::bench
