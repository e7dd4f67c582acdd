#include "TransferSupport.h"
#include "keeping/InUseLock.h"
#include "keeping/NewDatabase.h"
#include "support/RecordingFileOperations.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

using dbtool::ImportFormat;

// Titles a file name or XML would change, and notes with every line ending, in Greek too.
const std::vector<Item> kAwkward{
    {1, "Plain", "first\nsecond"},
    {2, "Less <than> & \"quoted\" 'single'", "windows\r\nline\r\nends"},
    {3, "a/b\\c: 50% *?|", "old mac\rline\rends"},
    {3, "..leading dots", "mixed\n\r\n\rall"},
    {2, "  leading spaces", ""},
    {2, "Καλημέρα κόσμε", "Ελληνικά\nκείμενα"},
    {1, ".hidden-looking", "trailing newline\n"},
    {2, "index", "not the folder's note"},
    {2, "%41 stays", "%41"},
    {1, "", "an empty title"},
};

std::string exportTo(ImportFormat format, const std::string &database, const TempFolder &folder)
{
    if (format == ImportFormat::Opml) {
        const std::string file = folder.path("out.opml");
        std::ofstream out(file, std::ios::binary);
        dbtool::exportOpml(database, out);
        return file;
    }
    const std::string file = folder.path("out-md");
    dbtool::exportMarkdownFolder(database, file);
    return file;
}

TEST(toolsRoundTrip, OpmlAndMarkdownFoldersGiveBackTheSameOutline)
{
    for (const ImportFormat format : {ImportFormat::Opml, ImportFormat::Markdown}) {
        SCOPED_TRACE(format == ImportFormat::Opml ? "OPML" : "Markdown folder");
        TempFolder folder;
        const std::string source = folder.path("source.mdb");
        makeOutline(source, kAwkward);
        const std::string file = exportTo(format, source, folder);

        const std::string copy = folder.path("copy.mdb");
        const dbtool::ImportReport report = dbtool::importOutline(file, copy, format);
        EXPECT_EQ(readOutline(copy), kAwkward);
        EXPECT_EQ(report.items, kAwkward.size());
        EXPECT_EQ(report.groups, 0u);
        EXPECT_TRUE(dbtool::checkDatabase(copy).problems.empty());

        // Added to a database of its own, the same outline stands under one new item.
        const std::string existing = folder.path("existing.mdb");
        initDatabase(existing);
        dbtool::importOutline(file, existing, format);
        const std::vector<Item> rows = readOutline(existing);
        ASSERT_EQ(rows.size(), kAwkward.size() + 2);
        EXPECT_EQ(rows[1].title, "Imported from " + file.substr(file.rfind('/') + 1));
        EXPECT_EQ(querySql(existing, "SELECT Kleidi FROM mynodes WHERE ID = 2"), "B");
        EXPECT_EQ(below(std::vector<Item>(rows.begin() + 1, rows.end())), kAwkward);
    }
}

TEST(toolsRoundTrip, OpmlWritesNotesAsAttributesAndTheOpenItems)
{
    TempFolder folder;
    const std::string source = folder.path("source.mdb");
    makeOutline(source, {{1, "A & B", "x\r\ny"},
                         {2, "child", "\x01 bell \xff"},
                         {1, "closed", ""},
                         {2, "open inside it", ""},
                         {3, "hidden", ""},
                         {1, "open", ""},
                         {2, "shown", ""}});
    execSql(source, "UPDATE mynodes SET anoixto = 1 WHERE Kleidi IN ('A', 'A1', 'B1', 'C')");
    std::ostringstream out;
    const dbtool::ExportReport report = dbtool::exportOpml(source, out);
    const std::string opml = out.str();
    EXPECT_NE(opml.find("<outline text=\"A &amp; B\" _note=\"x&#13;&#10;y\">"), std::string::npos)
        << opml;
    // A control character and a byte that is not UTF-8, which XML cannot hold.
    EXPECT_NE(opml.find("_note=\"\xEF\xBF\xBD bell \xEF\xBF\xBD\"/>"), std::string::npos) << opml;
    EXPECT_EQ(report.replaced, 2u);
    // Lines as shown: A open (A1 has no children and is not counted as open), the closed item
    // with nothing of it shown, then the last top-level item open on line 3. B1 is open but
    // hidden inside B, so it is not named.
    EXPECT_NE(opml.find("<expansionState>0,3</expansionState>"), std::string::npos) << opml;

    const std::string file = folder.path("back.opml");
    writeFile(file, opml);
    const std::string copy = folder.path("copy.mdb");
    dbtool::importOutline(file, copy, std::nullopt);
    EXPECT_EQ(querySql(copy, "SELECT group_concat(anoixto, '') FROM mynodes"), "1000010");
}

TEST(toolsRoundTrip, MarkdownFolderNamesTheFilesByOrderAndTitle)
{
    TempFolder folder;
    const std::string source = folder.path("source.mdb");
    makeOutline(source, kAwkward);
    const std::string out = folder.path("md");
    {
        // The folder's new name lasts only once the folder it is in is synced after the rename.
        RecordingFileOperations files(folder.folder().toStdString());
        bool syncedWithItsName = false;
        files.beforeSync = [&](const std::string &name) {
            if (name == ".")
                syncedWithItsName = std::filesystem::exists(out);
        };
        dbtool::exportMarkdownFolder(source, out);
        EXPECT_TRUE(syncedWithItsName);
    }
    const std::string plain = out + "/01 Plain";
    EXPECT_EQ(readText(plain + "/index.md"), "first\nsecond");
    EXPECT_EQ(readText(plain + "/01 Less %3Cthan%3E & %22quoted%22 'single'/02 ..leading dots.md"),
              "mixed\n\r\n\rall");
    EXPECT_EQ(readText(plain + "/01 Less %3Cthan%3E & %22quoted%22 'single'/01 a%2Fb%5Cc%3A 50%25 "
                               "%2A%3F%7C.md"),
              "old mac\rline\rends");
    EXPECT_EQ(readText(out + "/03 .md"), "an empty title");
    EXPECT_FALSE(std::filesystem::exists(out + ".partial"));
    // Never into a folder that is there.
    EXPECT_THROW(dbtool::exportMarkdownFolder(source, out), std::runtime_error);
}

TEST(toolsRoundTrip, ExportsTakeTheDatabasesPermissionsWhateverTheUmask)
{
    struct Case
    {
        mode_t database, umask, file, folder;
    };
    for (const Case &c :
         {Case{0600, 022, 0600, 0700}, Case{0644, 077, 0644, 0755}, Case{0640, 0, 0640, 0750}}) {
        SCOPED_TRACE(c.database);
        TempFolder folder;
        const std::string source = folder.path("source.mdb");
        makeOutline(source, {{1, "parent", "n"}, {2, "child", "m"}});
        ::chmod(source.c_str(), c.database);
        const mode_t before = ::umask(c.umask);
        const std::string md = folder.path("md");
        dbtool::exportMarkdownFolder(source, md);
        std::ostringstream out, err;
        const int status = dbtool::run(
            {"export", source, "--format", "opml", "--output", folder.path("x.opml")}, out, err);
        ::umask(before);
        EXPECT_EQ(status, 0) << err.str();
        const auto mode = [](const std::string &path) {
            struct stat info
            {
            };
            ::stat(path.c_str(), &info);
            return info.st_mode & 0777;
        };
        EXPECT_EQ(mode(folder.path("x.opml")), c.file);
        EXPECT_EQ(mode(md), c.folder);
        EXPECT_EQ(mode(md + "/01 parent"), c.folder);
        EXPECT_EQ(mode(md + "/01 parent/index.md"), c.file);
        EXPECT_EQ(mode(md + "/01 parent/01 child.md"), c.file);
    }
}

TEST(toolsRoundTrip, ExportsNeverWriteThroughWhatIsInTheirWay)
{
    TempFolder folder;
    const std::string source = folder.path("source.mdb");
    makeOutline(source, {{1, "one", "n"}});
    writeFile(folder.path("out.opml.partial"), "mine");
    std::filesystem::create_directory(folder.path("md.partial"));
    writeFile(folder.path("md.partial/keep.md"), "kept");
    std::ostringstream out, err;
    EXPECT_EQ(
        dbtool::run({"export", source, "--format", "opml", "--output", folder.path("out.opml")},
                    out, err),
        1);
    EXPECT_EQ(dbtool::run(
                  {"export", source, "--format", "markdown-folder", "--output", folder.path("md")},
                  out, err),
              1);
    EXPECT_NE(err.str().find("out.opml.partial is in the way"), std::string::npos) << err.str();
    EXPECT_EQ(readText(folder.path("out.opml.partial")), "mine");
    EXPECT_EQ(readText(folder.path("md.partial/keep.md")), "kept");
    EXPECT_FALSE(std::filesystem::exists(folder.path("out.opml")));
    EXPECT_FALSE(std::filesystem::exists(folder.path("md")));
}

// n top-level items, or n children of one item, titled by their number.
std::vector<Item> many(int n, int depth)
{
    std::vector<Item> items;
    if (depth > 1)
        items.push_back({1, "parent", "p"});
    for (int i = 1; i <= n; ++i)
        items.push_back({depth, "t" + std::to_string(i), "note " + std::to_string(i)});
    return items;
}

TEST(toolsFolding, ChildrenBeyondTheKeysGoUnderBalancedGroupsInOrder)
{
    struct Case
    {
        const char *name;
        std::vector<Item> items;
        std::size_t groups;
        int deepest;            // the longest key, in characters
        std::string firstGroup; // the title of the first group, if any
    };
    const std::vector<Case> cases{
        {"NineChildrenFit", many(9, 2), 0, 2, ""},
        {"TenMakeTwoGroupsOfFive", many(10, 2), 2, 3, "More (t1 … t5)"},
        {"EightyOneMakeNineGroupsOfNine", many(81, 2), 9, 3, "More (t1 … t9)"},
        {"EightyTwoMakeTwoLevels", many(82, 2), 2 + 10, 4, "More (t1 … t41)"},
        {"SevenHundredTwentyNineMakeTwoFullLevels", many(729, 2), 9 + 81, 4, "More (t1 … t81)"},
        {"SevenHundredThirtyMakeThreeLevels", many(730, 2), 2 + 10 + 90, 5, "More (t1 … t365)"},
        {"AThousandMakeThreeLevels", many(1000, 2), 2 + 14 + 112, 5, "More (t1 … t500)"},
        {"TheTopLevelHoldsTheCodesFromA", many(191, 1), 0, 1, ""},
        {"PastThemTheTopLevelIsGrouped", many(192, 1), 22, 2, "More (t1 … t8)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string source = folder.path("source.mdb");
        // Folding happens on import only: the source is written past the keys' limits by
        // way of its OPML.
        std::string opml = "<opml version=\"2.0\"><body>";
        int depth = 0;
        for (const Item &item : c.items) {
            for (; depth >= item.depth; --depth)
                opml += "</outline>";
            opml += "<outline text=\"" + item.title + "\" _note=\"" + item.note + "\">";
            depth = item.depth;
        }
        for (; depth > 0; --depth)
            opml += "</outline>";
        writeFile(folder.path("in.opml"), opml + "</body></opml>");
        const dbtool::ImportReport report =
            dbtool::importOutline(folder.path("in.opml"), source, std::nullopt);
        EXPECT_EQ(report.groups, c.groups);
        EXPECT_TRUE(dbtool::checkDatabase(source).problems.empty());
        std::vector<Item> rows = readOutline(source);
        int deepest = 0;
        for (const Item &row : rows)
            deepest = std::max(deepest, row.depth);
        EXPECT_EQ(deepest, c.deepest);
        if (!c.firstGroup.empty()) {
            const auto group = std::find_if(rows.begin(), rows.end(), [](const Item &row) {
                return row.title.starts_with("More (");
            });
            ASSERT_NE(group, rows.end());
            EXPECT_EQ(group->title, c.firstGroup);
        }
        // Without the groups, the items and their notes in their order, every one at one depth.
        std::erase_if(rows, [](const Item &row) { return row.title.starts_with("More ("); });
        ASSERT_EQ(rows.size(), c.items.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].title, c.items[i].title);
            EXPECT_EQ(rows[i].note, c.items[i].note);
            if (i > 1) {
                EXPECT_EQ(rows[i].depth, rows[1].depth);
            }
        }
    }
}

TEST(toolsFolding, AFullTopLevelOrTooManyItemsAreRefusedWithNothingWritten)
{
    TempFolder folder;
    writeFile(folder.path("in.opml"), "<opml><body><outline text=\"x\"/></body></opml>");
    // Every top-level key from "A" to code 255 in use.
    const std::string full = folder.path("full.mdb");
    makeOutline(full, many(191, 1));
    const std::string before = fileBytes(full);
    EXPECT_THROW(dbtool::importOutline(folder.path("in.opml"), full, std::nullopt),
                 dbtool::ImportRefused);
    EXPECT_EQ(fileBytes(full), before);

    std::string opml = "<opml><body>";
    for (int i = 0; i < 32767; ++i)
        opml += "<outline text=\"x\"/>";
    writeFile(folder.path("big.opml"), opml + "</body></opml>");
    EXPECT_THROW(
        dbtool::importOutline(folder.path("big.opml"), folder.path("new.mdb"), std::nullopt),
        dbtool::ImportRefused);
    EXPECT_FALSE(std::filesystem::exists(folder.path("new.mdb")));
}

TEST(toolsImport, RefusedWhileQuilletHasTheDatabaseOpen)
{
    TempFolder folder;
    writeFile(folder.path("in.opml"), "<opml><body><outline text=\"x\"/></body></opml>");
    const std::string path = folder.path("mydata.mdb");
    initDatabase(path);
    const std::string before = fileBytes(path);
    {
        const InUseLock open(path);
        EXPECT_THROW(dbtool::importOutline(folder.path("in.opml"), path, std::nullopt),
                     std::runtime_error);
    }
    EXPECT_EQ(fileBytes(path), before);
    dbtool::importOutline(folder.path("in.opml"), path, std::nullopt);
    EXPECT_EQ(querySql(path, "SELECT count(*) FROM mynodes"), "3");
}

} // namespace
} // namespace quillet::test
