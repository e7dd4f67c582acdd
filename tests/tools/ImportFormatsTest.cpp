#include "TransferSupport.h"
#include "keeping/NewDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

using dbtool::ImportFormat;

// The same outline written as a CherryTree XML document and as a CherryTree SQLite document:
// nested nodes, runs of mixed and of one format, a code box, a table, an image, an anchor, a
// node of another language and a node with twelve children.
const std::vector<Item> kCherryOutline = [] {
    std::vector<Item> items{
        {1, "Top",
         "Heading\nint x = 1;\nGreek \xce\xb1\xce\xb2\xce\xb3\nh1\th2\na\tb\nc\td\nend\n[image]"},
        {2, "Uniform", "one \ntwo"},
        {2, "Twelve", ""},
        {3, "More (c1 … c6)", ""}};
    for (int i = 1; i <= 12; ++i) {
        if (i == 7)
            items.push_back({3, "More (c7 … c12)", ""});
        items.push_back({4, "c" + std::to_string(i), "n" + std::to_string(i)});
    }
    items.push_back({1, "Code node", "print(1)"});
    return items;
}();

const char kTopRuns[] = "<rich_text scale=\"h1\" foreground=\"#ff0000\" weight=\"heavy\">Heading\n"
                        "</rich_text><rich_text>Greek \xce\xb1\xce\xb2\xce\xb3\nend</rich_text>";
const char kTable[] = "<row><cell>a</cell><cell>b</cell></row><row><cell>c</cell><cell>d</cell>"
                      "</row><row><cell>h1</cell><cell>h2</cell></row>";
const char kUniformRuns[] =
    "<rich_text family=\"monospace\" foreground=\"#00ff00\" style=\"italic\">one </rich_text>"
    "<rich_text>\n</rich_text>"
    "<rich_text family=\"monospace\" foreground=\"#00ff00\" style=\"italic\">two</rich_text>";

std::string cherryXml()
{
    std::string xml =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cherrytree>\n"
                    "<bookmarks list=\"\"/>\n"
                    "<node name=\"Top\" unique_id=\"1\" prog_lang=\"custom-colors\">") +
        kTopRuns +
        "<codebox char_offset=\" 8 \" syntax_highlighting=\"c\">int x = 1;</codebox>"
        "<table char_offset=\"\n19\" col_min=\"40\">" +
        kTable +
        "</table><encoded_png char_offset=\"23\">iVBORw0=</encoded_png>"
        "<encoded_png char_offset=\"2\" anchor=\"here\"/>\n"
        "<node name=\"Uniform\" unique_id=\"2\" prog_lang=\"custom-colors\">" +
        kUniformRuns + "</node>\n<node name=\"Twelve\" unique_id=\"3\">";
    for (int i = 1; i <= 12; ++i)
        xml += "<node name=\"c" + std::to_string(i) + "\" prog_lang=\"plain-text\"><rich_text>n" +
               std::to_string(i) + "</rich_text></node>\n";
    return xml + "</node></node>\n<node name=\"Code node\" prog_lang=\"python\"><rich_text>print(1)"
                 "</rich_text></node>\n</cherrytree>\n";
}

void makeCherrySqlite(const std::string &path)
{
    createEmptyDatabase(path); // then drops its tables: only the file is wanted
    execSql(path,
            "DROP TABLE mynodes; DROP TABLE parame;"
            "CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, syntax TEXT, tags "
            "TEXT, is_ro INTEGER, is_richtxt INTEGER, has_codebox INTEGER, has_table INTEGER, "
            "has_image INTEGER, level INTEGER, ts_creation INTEGER, ts_lastsave INTEGER);"
            "CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, sequence INTEGER);"
            "CREATE TABLE codebox (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, "
            "syntax TEXT, width INTEGER, height INTEGER, is_width_pix INTEGER, do_highl_bra "
            "INTEGER, do_show_linenum INTEGER);"
            "CREATE TABLE grid (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, "
            "col_min INTEGER, col_max INTEGER);"
            "CREATE TABLE image (node_id INTEGER, offset INTEGER, justification TEXT, anchor TEXT, "
            "png BLOB, filename TEXT, link TEXT, time INTEGER);"
            "CREATE TABLE bookmark (node_id INTEGER UNIQUE, sequence INTEGER);");
    Connection db(path, Connection::Mode::ReadWrite);
    Statement node(db, "INSERT INTO node (node_id, name, txt, syntax, is_richtxt) VALUES (?, ?, "
                       "?, ?, ?)");
    Statement child(db, "INSERT INTO children (node_id, father_id, sequence) VALUES (?, ?, ?)");
    const auto add = [&](std::int64_t id, std::int64_t father, std::int64_t sequence,
                         const std::string &name, const std::string &txt, bool rich) {
        node.reset();
        node.bind(1, id);
        node.bind(2, name);
        node.bind(3, rich ? "<?xml version=\"1.0\"?><node>" + txt + "</node>" : txt);
        node.bind(4, std::string_view(rich ? "custom-colors" : "plain-text"));
        node.bind(5, std::int64_t{rich ? 1 : 0});
        node.run();
        child.reset();
        child.bind(1, id);
        child.bind(2, father);
        child.bind(3, sequence);
        child.run();
    };
    // Rows out of their order: the sequence numbers give it.
    add(40, 0, 9, "Code node", "print(1)", false);
    for (int i = 12; i >= 1; --i)
        add(100 + i, 3, i * 10, "c" + std::to_string(i), "n" + std::to_string(i), false);
    add(1, 0, 1, "Top", kTopRuns, true);
    add(3, 1, 2, "Twelve", "", false);
    add(2, 1, 1, "Uniform", kUniformRuns, true);
    db.exec("INSERT INTO codebox (node_id, offset, txt) VALUES (1, 8, 'int x = 1;');"
            "INSERT INTO image (node_id, offset, anchor, png) VALUES (1, 23, '', X'89');"
            "INSERT INTO image (node_id, offset, anchor) VALUES (1, 2, 'here');");
    Statement grid(db, "INSERT INTO grid (node_id, offset, txt) VALUES (1, 19, ?)");
    grid.bind(1, std::string("<?xml version=\"1.0\"?><table>") + kTable + "</table>");
    grid.run();
}

TEST(toolsImportCherryTree, XmlAndSqliteDocumentsGiveTheOutlineTheyHold)
{
    for (const ImportFormat format :
         {ImportFormat::CherryTreeXml, ImportFormat::CherryTreeSqlite}) {
        const bool xml = format == ImportFormat::CherryTreeXml;
        SCOPED_TRACE(xml ? "XML" : "SQLite");
        TempFolder folder;
        const std::string document = folder.path(xml ? "notes.ctd" : "notes.ctb");
        if (xml)
            writeFile(document, cherryXml());
        else
            makeCherrySqlite(document);
        const std::string path = folder.path("new.mdb");
        const dbtool::ImportReport report = dbtool::importOutline(document, path, std::nullopt);
        EXPECT_EQ(readOutline(path), kCherryOutline);
        EXPECT_EQ(report.items, 16u);
        EXPECT_EQ(report.groups, 2u);
        EXPECT_EQ(report.codeBoxes, 1u);
        EXPECT_EQ(report.tables, 1u);
        EXPECT_EQ(report.images, 1u);
        EXPECT_EQ(report.anchors, 1u);
        // Each note counted once: "Top" as mixed, "Uniform" as of one format.
        EXPECT_EQ(report.mixedFormats, 1u);
        EXPECT_EQ(report.formats, 1u);
        const std::string said = dbtool::describe(report, document, path);
        EXPECT_NE(said.find("  1 note in one format throughout, given that format\n"
                            "  1 note of mixed formats, given its first run's\n"),
                  std::string::npos)
            << said;
        // Mixed runs: the first run's format, heading size, red (0x00BBGGRR) and bold. One
        // format throughout: green italic in the default font and size.
        EXPECT_EQ(querySql(path, "SELECT MegFonta || ' ' || Grammatoseira || ' ' || XromaFont || "
                                 "' ' || XromaBack || ' ' || FontaBold || FontaPlagia FROM "
                                 "mynodes WHERE MyText = 'Top'"),
                  "20.0 Courier New 255 16777215 10");
        EXPECT_EQ(querySql(path, "SELECT MegFonta || ' ' || XromaFont || ' ' || FontaBold || "
                                 "FontaPlagia FROM mynodes WHERE MyText = 'Uniform'"),
                  "10.0 65280 01");
        EXPECT_EQ(querySql(path, "SELECT count(*) FROM mynodes WHERE MegFonta <> 0"), "2");
        EXPECT_TRUE(dbtool::checkDatabase(path).problems.empty());
    }
}

// A SQLite document of nodes 1 to count, each under node (id - 1) / 8 in order, every third one
// plain text with a Latin-1 byte, the rest rich text; broken nodes hold rich text that is not
// XML.
void makeLargeCherrySqlite(const std::string &path, int count, const std::vector<int> &broken)
{
    createEmptyDatabase(path);
    execSql(path, "DROP TABLE mynodes; DROP TABLE parame;"
                  "CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, is_richtxt "
                  "INTEGER); CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, "
                  "sequence INTEGER);");
    Connection db(path, Connection::Mode::ReadWrite);
    Transaction transaction(db);
    Statement node(db, "INSERT INTO node VALUES (?, ?, ?, ?)");
    Statement child(db, "INSERT INTO children VALUES (?, ?, ?)");
    for (int id = 1; id <= count; ++id) {
        const bool rich = id % 3 != 0;
        const std::string text =
            "note " + std::to_string(id) + " \xCE\xB1 caf" + (rich ? "\xC3\xA9" : "\xE9");
        node.reset();
        node.bind(1, std::int64_t{id});
        node.bind(2, "n" + std::to_string(id));
        node.bind(3,
                  !rich ? text
                  : std::find(broken.begin(), broken.end(), id) != broken.end()
                      ? std::string("<node><rich_text>x</node>")
                      : "<?xml version=\"1.0\"?><node><rich_text>" + text + "</rich_text></node>");
        node.bind(4, std::int64_t{rich ? 1 : 0});
        node.run();
        child.reset();
        child.bind(1, std::int64_t{id});
        child.bind(2, std::int64_t{(id - 1) / 8});
        child.bind(3, std::int64_t{id});
        child.run();
    }
    transaction.commit();
}

// The notes of a large document are made on a thread of their own while the document is read:
// each comes to its own item, and of several problems the one of the node read first is said,
// also when the reading meets a problem of its own later.
TEST(toolsImportCherryTree, ALargeDocumentComesBackWholeAndItsFirstProblemIsSaid)
{
    TempFolder folder;
    const std::string document = folder.path("large.ctb");
    makeLargeCherrySqlite(document, 2000, {});
    EXPECT_EQ(dbtool::importOutline(document, folder.path("new.mdb"), std::nullopt).latin1, 666u);
    const std::vector<Item> read = readOutline(folder.path("new.mdb"));
    ASSERT_EQ(read.size(), 2000u);
    std::vector<int> depth(2001, 0);
    for (std::size_t i = 0; i < read.size(); ++i) {
        // Pre-order: each node's children follow it, and node n's children are 8n+1 to 8n+8.
        const int id = std::stoi(read[i].title.substr(1));
        depth[id] = id <= 8 ? 1 : depth[(id - 1) / 8] + 1;
        EXPECT_EQ(read[i].depth, depth[id]) << read[i].title;
        EXPECT_EQ(read[i].note, "note " + std::to_string(id) + " \xCE\xB1 caf\xC3\xA9");
    }
    struct Case
    {
        int count;
        std::vector<int> broken;
        const char *said;
    };
    // Node 1999 is read before node 300 (pre-order). Of 32,767 nodes the last one read, node
    // 4680, is one too many, and node 4679 is read just before it.
    for (const Case &c : {Case{2000, {1999, 300}, "large.ctb, node 1999, line 1"},
                          Case{32767, {4679}, "large.ctb, node 4679, line 1"},
                          Case{32767, {}, "more than the 32766 items"}}) {
        SCOPED_TRACE(c.said);
        std::filesystem::remove(document);
        makeLargeCherrySqlite(document, c.count, c.broken);
        try {
            dbtool::importOutline(document, folder.path("other.mdb"), std::nullopt);
            ADD_FAILURE() << "imported";
        } catch (const dbtool::ImportRefused &refused) {
            EXPECT_NE(std::string(refused.what()).find(c.said), std::string::npos)
                << refused.what();
        }
        EXPECT_FALSE(std::filesystem::exists(folder.path("other.mdb")));
    }
}

struct Refusal
{
    const char *name;
    std::string file;     // its name in the test's folder
    std::string contents; // written as it is; a SQLite document is made by sql
    std::string sql;
    std::optional<ImportFormat> format;
    const char *said; // what the refusal says
};

TEST(toolsImport, MalformedFilesAreRefusedWithTheReasonAndNothingWritten)
{
    const std::string ctb =
        "CREATE TABLE node (node_id INTEGER, name TEXT, txt TEXT, is_richtxt INTEGER);"
        "CREATE TABLE children (node_id INTEGER, father_id INTEGER, sequence INTEGER);"
        "INSERT INTO node VALUES (1, 'a', '', 0), (2, 'b', '', 0);";
    const std::vector<Refusal> cases{
        {"UnclosedOutline",
         "a.opml",
         "<opml>\n<body>\n<outline text=\"x\">\n</body></opml>",
         "",
         {},
         "a.opml, line 4: it is "
         "not well-formed XML"},
        {"ExternalEntity",
         "b.opml",
         "<!DOCTYPE opml [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n<opml><body><outline "
         "text=\"&e;\"/></body></opml>",
         "",
         {},
         "declares entities of its own"},
        {"EntitiesThatGrow",
         "c.opml",
         "<!DOCTYPE opml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
         "<opml><body><outline text=\"&b;\"/></body></opml>",
         "",
         {},
         "declares entities of its own"},
        {"UndeclaredEntity",
         "d.opml",
         "<opml><body><outline text=\"&e;\"/></body></opml>",
         "",
         {},
         "not well-formed XML"},
        {"NotOpml", "e.opml", "<html><body/></html>", "", {}, "it is not an OPML file"},
        {"NoItems", "f.opml", "<opml><body/></opml>", "", {}, "holds no items"},
        {"BrokenCherryTree",
         "g.ctd",
         "<cherrytree>\n<node name=\"a\"><rich_text>x</node>\n</cherrytree>",
         "",
         {},
         "g.ctd, line 2: it is not well-formed XML"},
        {"NotCherryTree", "h.ctd", "<opml/>", "", {}, "it is not a CherryTree document"},
        {"Encrypted", "i.ctz", "7z\xBC\xAF\x27\x1C", "", {}, "save it unencrypted"},
        {"EncryptedByAnotherName",
         "j.ctd",
         std::string("7z\xBC\xAF\x27\x1C\0\4", 8),
         "",
         {},
         "encrypted CherryTree document"},
        {"CircleInChildren",
         "k.ctb",
         "",
         ctb + "INSERT INTO children VALUES (1, 2, 1), (2, 1, 1);",
         {},
         "in a circle. The file may be being saved by CherryTree just now: try again"},
        {"MissingParent",
         "l.ctb",
         "",
         ctb + "INSERT INTO children VALUES (1, 0, 1), (2, 7, 1);",
         {},
         "which is missing"},
        {"NodeWithoutAPlace",
         "m.ctb",
         "",
         ctb + "INSERT INTO children VALUES (1, 0, 1);",
         {},
         "has no place in the tree"},
        {"NodeTwice",
         "s.ctb",
         "",
         ctb + "INSERT INTO node VALUES (2, 'c', '', 0);"
               "INSERT INTO children VALUES (1, 0, 1), (2, 0, 2);",
         {},
         "the node 2 is there twice"},
        {"PlaceOfNoNode",
         "t.ctb",
         "",
         ctb + "INSERT INTO children VALUES (1, 0, 1), (2, 0, 2), (9, 1, 1);",
         {},
         "the node 9 has a place in the tree but is not in the document"},
        {"NodeInTwoPlaces",
         "u.ctb",
         "",
         ctb + "INSERT INTO children VALUES (1, 0, 1), (2, 0, 2), (2, 1, 1);",
         {},
         "the node 2 has two places in the tree"},
        {"NodeNumberedAsTheTop",
         "r.ctb",
         "",
         ctb + "INSERT INTO node VALUES (0, 'top', '', 0);"
               "INSERT INTO children VALUES (0, 0, 1), (1, 0, 2), (2, 0, 3);",
         {},
         "the number of the top of the tree"},
        {"NotSqlite", "n.ctb", "just text", "", {}, "cannot be read as a CherryTree document"},
        {"ViewsAreNotRead",
         "q.ctb",
         "",
         "CREATE TABLE n (node_id INTEGER, name TEXT, txt TEXT, is_richtxt INTEGER);"
         "CREATE VIEW node AS SELECT * FROM n; CREATE TABLE children (node_id INTEGER, "
         "father_id INTEGER, sequence INTEGER);",
         {},
         "it has no tables"},
        {"NotAFolder", "o.md", "text", "", ImportFormat::Markdown, "is not a folder"},
        {"UnknownKind", "p.txt", "text", "", {}, "does not tell its format"},
    };
    TempFolder folder;
    const std::string existing = folder.path("existing.mdb");
    initDatabase(existing);
    const std::string before = fileBytes(existing);
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = folder.path(c.file);
        if (c.sql.empty()) {
            writeFile(file, c.contents);
        } else {
            createEmptyDatabase(file);
            execSql(file, "DROP TABLE mynodes; DROP TABLE parame;" + c.sql);
        }
        for (const std::string &path : {folder.path("new.mdb"), existing}) {
            try {
                dbtool::importOutline(file, path, c.format);
                ADD_FAILURE() << "imported into " << path;
            } catch (const dbtool::ImportRefused &refused) {
                EXPECT_NE(std::string(refused.what()).find(c.said), std::string::npos)
                    << refused.what();
            }
        }
        EXPECT_FALSE(std::filesystem::exists(folder.path("new.mdb")));
        EXPECT_EQ(fileBytes(existing), before);
    }
}

TEST(toolsImport, XmlIsReadInTheEncodingItDeclares)
{
    struct Case
    {
        const char *file;
        std::string bytes;
    };
    // "αβγ" in each of two Greek code pages.
    for (const Case &c :
         {Case{"greek.opml", "<?xml version=\"1.0\" encoding=\"windows-1253\"?>\n<opml><body>"
                             "<outline text=\"\xe1\xe2\xe3\" _note=\"\xe1\"/></body></opml>"},
          Case{"greek.ctd",
               "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<cherrytree><node "
               "name=\"\xe1\xe2\xe3\"><rich_text>\xe1</rich_text></node></cherrytree>"}}) {
        SCOPED_TRACE(c.file);
        TempFolder folder;
        writeFile(folder.path(c.file), c.bytes);
        dbtool::importOutline(folder.path(c.file), folder.path("new.mdb"), std::nullopt);
        EXPECT_EQ(readOutline(folder.path("new.mdb")),
                  (std::vector<Item>{{1, "\xce\xb1\xce\xb2\xce\xb3", "\xce\xb1"}}));
    }
}

TEST(toolsImport, TheCommandPrintsItsReportAndItsRefusals)
{
    TempFolder folder;
    writeFile(folder.path("in.opml"),
              "<opml><body><outline text=\"x\" type=\"link\" created=\"today\"/></body></opml>");
    std::ostringstream out, err;
    EXPECT_EQ(dbtool::run({"import", folder.path("in.opml"), folder.path("new.mdb")}, out, err), 0);
    EXPECT_NE(out.str().find("Imported 1 item from"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("2 unknown attributes ignored"), std::string::npos) << out.str();
    EXPECT_EQ(dbtool::run({"import", folder.path("in.opml"), folder.path("x.mdb"), "--from", "doc"},
                          out, err),
              2);
    EXPECT_EQ(dbtool::run({"import", folder.path("new.mdb"), folder.path("x.mdb")}, out, err), 1);
    EXPECT_EQ(
        dbtool::run({"export", folder.path("new.mdb"), "--format", "markdown-folder"}, out, err),
        2);
}

} // namespace
} // namespace quillet::test
