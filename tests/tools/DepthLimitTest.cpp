#include "TransferSupport.h"
#include "keeping/Deletions.h"
#include "keeping/NewDatabase.h"
#include "store/NoteStore.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// An OPML outline of nested items, one a level, the deepest holding `leaves` children.
std::string nestedOpml(int levels, int leaves = 0)
{
    std::string opml = "<opml version=\"2.0\"><body>\n";
    for (int level = 1; level <= levels; ++level)
        opml += "<outline text=\"L" + std::to_string(level) + "\">\n";
    for (int leaf = 1; leaf <= leaves; ++leaf)
        opml += "<outline text=\"leaf" + std::to_string(leaf) + "\"/>\n";
    for (int level = 1; level <= levels; ++level)
        opml += "</outline>";
    return opml + "</body></opml>\n";
}

std::string nestedCherryXml(int levels)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<cherrytree>\n";
    for (int level = 1; level <= levels; ++level)
        xml += "<node name=\"L" + std::to_string(level) + "\">\n";
    for (int level = 1; level <= levels; ++level)
        xml += "</node>";
    return xml + "</cherrytree>\n";
}

// Folders "01 L1/01 L2/..." with the deepest item a Markdown file.
std::string nestedFolder(const TempFolder &folder, int levels)
{
    std::string path = folder.path("md");
    for (int level = 1; level < levels; ++level) {
        path += "/01 L" + std::to_string(level);
        fs::create_directories(path);
    }
    writeFile(path + "/01 L" + std::to_string(levels) + ".md", "deepest");
    return folder.path("md");
}

// A JSON export of a database whose last row lies `levels` deep: such a file opens and
// exports, as files made elsewhere may be that deep.
std::string deepJson(const TempFolder &folder, int levels)
{
    const std::string source = folder.path("deep-source.mdb");
    initDatabase(source);
    std::string key = "A";
    for (int level = 2; level <= levels; ++level) {
        key += "1";
        execSql(source, "INSERT INTO mynodes (Kleidi, MyText) VALUES ('" + key + "', 't')");
    }
    std::ostringstream out;
    dbtool::exportDatabase(source, dbtool::ExportFormat::Json, out);
    writeFile(folder.path("deep.json"), out.str());
    return folder.path("deep.json");
}

// The outline goes at most 100 levels deep, counted after the grouping of children beyond
// nine: whatever makes rows goes to exactly that, and refuses past it, naming where, changing
// nothing.
TEST(toolsDepthLimit, RowsAreMadeDownToTheHundredthLevelAndNoFurther)
{
    enum class Into { New, Existing };
    struct Case
    {
        const char *name;
        std::function<std::string(const TempFolder &)> file; // made in the folder
        Into into;
        bool refused;
        std::string where; // in the refusal
    };
    const auto opml = [](int levels, int leaves = 0) {
        return [=](const TempFolder &folder) {
            writeFile(folder.path("in.opml"), nestedOpml(levels, leaves));
            return folder.path("in.opml");
        };
    };
    const Case cases[] = {
        {"OPML, 100 levels", opml(100), Into::New, false, ""},
        {"OPML, 101 levels", opml(101), Into::New, true, "in.opml, line 102"},
        {"OPML, 100 levels under the item it is imported into", opml(100), Into::Existing, true,
         "in.opml, line 101"},
        {"OPML, 99 levels and nine leaves", opml(99, 9), Into::New, false, ""},
        {"OPML, ten leaves grouped one level down past 100", opml(99, 10), Into::New, true,
         "\"L1 > L2 > L3 > … > L99 > More (leaf1 … leaf5) > leaf1\" ("},
        {"CherryTree XML, 101 levels",
         [](const TempFolder &folder) {
             writeFile(folder.path("in.ctd"), nestedCherryXml(101));
             return folder.path("in.ctd");
         },
         Into::New, true, "in.ctd, line 103"},
        {"Markdown folder, 100 levels",
         [](const TempFolder &folder) { return nestedFolder(folder, 100); }, Into::New, false, ""},
        {"Markdown folder, 101 levels",
         [](const TempFolder &folder) { return nestedFolder(folder, 101); }, Into::New, true,
         "/01 L100/01 L101.md)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string file = c.file(folder);
        const std::string path = folder.path("notes.mdb");
        if (c.into == Into::Existing)
            initDatabase(path);
        const std::string before = fs::exists(path) ? fileBytes(path) : "";
        try {
            dbtool::importOutline(file, path, std::nullopt);
            EXPECT_FALSE(c.refused);
            EXPECT_EQ(querySql(path, "SELECT max(length(Kleidi)) FROM mynodes"), "100");
            EXPECT_TRUE(dbtool::checkDatabase(path).problems.empty());
        } catch (const dbtool::ImportRefused &refused) {
            const std::string why = refused.what();
            EXPECT_TRUE(c.refused) << why;
            EXPECT_NE(why.find(c.where), std::string::npos) << why;
            EXPECT_NE(why.find("at most 100 levels deep"), std::string::npos) << why;
            EXPECT_EQ(fs::exists(path) ? fileBytes(path) : "", before);
        }
    }

    // A file already deeper opens, exports and passes its check; its JSON is not made again
    // into a database, and its deletion's copy not put back.
    TempFolder folder;
    const std::string json = deepJson(folder, 101);
    EXPECT_TRUE(dbtool::checkDatabase(folder.path("deep-source.mdb")).problems.empty());
    try {
        dbtool::importJson(json, folder.path("copy.mdb"));
        ADD_FAILURE() << "imported";
    } catch (const std::runtime_error &refused) {
        EXPECT_NE(std::string(refused.what()).find("101 levels deep"), std::string::npos)
            << refused.what();
    }
    EXPECT_FALSE(fs::exists(folder.path("copy.mdb")));
    std::string copy;
    {
        NoteStore store(folder.path("deep-source.mdb"));
        store.deleteSubtree(std::string(100, '1').insert(0, "A").substr(0, 100),
                            [&](const std::vector<StoredRow> &rows) {
                                copy = deletions::keepCopy(folder.path("deep-source.mdb"), "deep",
                                                           rows);
                            });
    }
    EXPECT_THROW(deletions::undelete(copy, folder.path("deep-source.mdb")), std::runtime_error);
    EXPECT_EQ(querySql(folder.path("deep-source.mdb"), "SELECT max(length(Kleidi)) FROM mynodes"),
              "99");
}

} // namespace
} // namespace quillet::test
