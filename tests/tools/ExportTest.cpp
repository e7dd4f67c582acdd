#include "keeping/History.h"
#include "keeping/NewDatabase.h"
#include "keeping/Places.h"
#include "store/NoteStore.h"
#include "support/TestDatabase.h"
#include "tools/commands/DbTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

// Suite names start with "tools" so that `ctest -R tools` selects exactly these tests.
namespace quillet::test {
namespace {

std::string exported(const std::string &path, dbtool::ExportFormat format)
{
    std::ostringstream out;
    dbtool::exportDatabase(path, format, out);
    return out.str();
}

TEST(toolsExport, JsonThroughImportComesBackByteForByte)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    createDatabase(path, {{"A", "Top"}, {"B", "Second"}, {"B1", "Child"}, {"C", "gone"}});
    // Every kind of value a row can hold, in columns of every type, and an ID given and then
    // freed by a deletion.
    execSql(path,
            "UPDATE mynodes SET Keimeno = 'quote \" backslash \\ tab \t line\nend "
            "\xce\xb1\xf0\x9f\x93\x9d', "
            "MegFonta = 0.1, XromaFont = 9223372036854775807, XromaBack = -1, "
            "Grammatoseira = CAST(X'C3' AS TEXT) WHERE Kleidi = 'A';"
            "UPDATE mynodes SET Keimeno = X'0001FF', MegFonta = 'big', XromaFont = 1.5, "
            "FontaBold = 'true', anoixto = 1 WHERE Kleidi = 'B';"
            "UPDATE mynodes SET MegFonta = 9e999, Keimeno = char(1, 31, 127) WHERE Kleidi = 'B1';"
            "DELETE FROM mynodes WHERE Kleidi = 'C';"
            "UPDATE parame SET timilo = NULL WHERE ID = 7");
    // A note far longer than the blocks the import reads, escapes and characters of several
    // bytes falling on their edges.
    std::string note;
    for (int i = 0; note.size() < 400'000; ++i)
        note += "\"quoted\" \xce\xb1\xce\xb2\t\\ \x01\n" +
                std::string(static_cast<std::size_t>(i % 5), 'x');
    NoteStore(path).saveText("A", note);
    const std::string json = exported(path, dbtool::ExportFormat::Json);
    const std::string file = folder.path("export.json");
    std::ofstream(file, std::ios::binary) << json;

    const std::string copy = folder.path("copy.mdb");
    dbtool::importJson(file, copy);
    EXPECT_EQ(exported(copy, dbtool::ExportFormat::Json), json);
    // Compared with the input, not only with a second export (which would lose the same
    // digits): every value the original holds, exactly.
    const std::string everyValue =
        "SELECT group_concat(quote(ID) || quote(Kleidi) || quote(MyText) || quote(Keimeno) || "
        "quote(anoixto) || quote(MegFonta) || quote(Grammatoseira) || quote(XromaFont) || "
        "quote(XromaBack) || quote(FontaBold) || quote(FontaPlagia), '|') FROM mynodes";
    EXPECT_EQ(querySql(copy, everyValue), querySql(path, everyValue));
    execSql(path, "UPDATE mynodes SET MegFonta = 10.123456789 WHERE Kleidi = 'A'");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << exported(path, dbtool::ExportFormat::Json);
    const std::string precise = folder.path("precise.mdb");
    dbtool::importJson(file, precise);
    EXPECT_EQ(querySql(precise, "SELECT quote(MegFonta) FROM mynodes WHERE Kleidi = 'A'"),
              "10.123456789");
    EXPECT_NE(json.find("\"lastId\": 4"), std::string::npos);
    NoteStore opened(copy);
    EXPECT_EQ(opened.readNote("B")->text.type(), Value::Type::Blob);

    // Never over an existing file.
    EXPECT_THROW(dbtool::importJson(file, copy), FileExists);
}

// The file is read on a thread of its own, a few batches ahead of the writing. An outline of
// thousands of rows and versions comes back whole and in order; a problem at the file's very
// end, or one the writing meets while the reading is ahead (a history file already there),
// leaves nothing behind, and the import ends.
TEST(toolsImport, ALargeFileComesBackWholeAndAnyProblemLeavesNothing)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    std::vector<Row> rows;
    for (char top = 'A'; top <= 'Z'; ++top)
        rows.push_back({std::string(1, top), std::string("top ") + top});
    for (std::size_t parent = 0; parent < 26 * 10; ++parent)
        for (char digit = '1'; digit <= '9' && rows[parent].key.size() < 3; ++digit)
            rows.push_back({rows[parent].key + digit, "item"});
    createDatabase(path, rows);
    execSql(path, "UPDATE mynodes SET Keimeno = Kleidi || ' ' || printf('%.1000c', 'x') || "
                  "' \xce\xb1\xce\xb2 ' || ID");
    {
        NoteStore store(path);
        NoteHistory history(store);
        for (std::size_t i = 0; i < 600; ++i)
            history.keep(*store.readRow(rows[i].key), false, 1000 + static_cast<int>(i));
    }
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(dbtool::run({"export", path, "--format", "json", "--with-history"}, out, err), 0);
    const std::string json = out.str();
    const std::string file = folder.path("export.json");
    std::ofstream(file, std::ios::binary) << json;

    const std::string copy = folder.path("copy/mydata.mdb");
    std::filesystem::create_directories(folder.path("copy"));
    dbtool::importJson(file, copy);
    std::ostringstream again;
    ASSERT_EQ(dbtool::run({"export", copy, "--format", "json", "--with-history"}, again, err), 0);
    EXPECT_EQ(again.str(), json);
    EXPECT_EQ(querySql(copy, "SELECT count(*) FROM mynodes"), std::to_string(rows.size()));

    std::ofstream(folder.path("cut.json"), std::ios::binary) << json.substr(0, json.rfind('}'));
    std::filesystem::create_directories(folder.path("cut"));
    EXPECT_THROW(dbtool::importJson(folder.path("cut.json"), folder.path("cut/mydata.mdb")),
                 std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path("cut")));

    const std::string other = folder.path("other/mydata.mdb");
    std::filesystem::create_directories(places::historyFolder(other));
    std::filesystem::copy_file(places::historyFile(copy), places::historyFile(other));
    EXPECT_THROW(dbtool::importJson(file, other), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(other));

    // Both at once, the versions' problem met first: the last of the first 256 versions, the
    // number that makes them be written, is the last thing read before the cut. What was read
    // before the file's own problem is written first, so it is the versions' problem that is
    // said, as on one thread.
    const std::string few = folder.path("few/mydata.mdb");
    std::filesystem::create_directories(folder.path("few"));
    createDatabase(few, {{"A", "one"}});
    {
        NoteStore store(few);
        NoteHistory history(store);
        for (int i = 0; i < 256; ++i)
            history.keep(*store.readRow("A"), false, 1000 + i);
    }
    std::ostringstream fewJson;
    ASSERT_EQ(dbtool::run({"export", few, "--format", "json", "--with-history"}, fewJson, err), 0);
    const std::string fewText = fewJson.str();
    std::ofstream(folder.path("few.json"), std::ios::binary)
        << fewText.substr(0, fewText.rfind('}'));
    try {
        dbtool::importJson(folder.path("few.json"), other);
        ADD_FAILURE() << "imported";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("a history file is already at"), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(other));
}

TEST(toolsImport, RefusesRowsThatDoNotMakeAnOutlineAndMakesNoFile)
{
    TempFolder folder;
    const std::string header = R"({"quillet-export": 1, "parame": [{"ID": 1, "timilo": 0}], )";
    const std::string row = R"("MyText": "t", "Keimeno": "", "anoixto": 0, "MegFonta": 0.0, )"
                            R"("Grammatoseira": null, "XromaFont": null, "XromaBack": null, )"
                            R"("FontaBold": 0, "FontaPlagia": 0})";
    const auto rows = [&](std::vector<std::pair<int, std::string>> idsAndKeys) {
        std::string text = header + R"("mynodes": [)";
        for (const auto &[id, key] : idsAndKeys)
            text += (text.back() == '[' ? "" : ", ") + std::string(R"({"ID": )") +
                    std::to_string(id) + R"(, "Kleidi": ")" + key + "\", " + row;
        return text + "]}";
    };
    struct Case
    {
        std::string text;
        const char *said; // what the refusal must say
    };
    const std::vector<Case> cases{
        {rows({{1, "A"}, {2, "B1"}, {3, "B"}}),
         "B1\": its parent \"B\" is stored after it, at ID 3"},
        {rows({{1, "A"}, {2, "A0"}}), "A0\": the key does not follow the key scheme"},
        {rows({{1, "A"}, {2, "A"}}), "the key repeats that of ID 1"},
        {rows({{2, "A"}, {1, "B"}}), "not in ID order"},
        {rows({{1, "B"}, {2, "B1"}}), "no row has the key \"A\""},
        {R"({"quillet-export": 1, "mynodes": [], "parame": []})", "0 settings rows"},
        {R"({"mynodes": []})", "not a Quillet export"},
        {"mynodes,parame\n", "not JSON"},
        // A file with several problems names the one a reading of the whole file first finds:
        // text that is not JSON, then a file that is not an export, then the rows.
        {rows({{1, "A"}, {2, "A0"}}) + "]", "not JSON"},
        {R"({"mynodes": [5], "parame": [{"ID": 1, "timilo": 0}]})", "not a Quillet export"},
        {R"({"quillet-export": 1, "mynodes": [5], "parame": 5})",
         "row 1 of \"mynodes\" is not an object"},
        {header + R"("mynodes": [], "mynodes": []})", "\"mynodes\" is there twice"},
        {R"({"quillet-export": 1, "mynodes": [], "parame": 5})",
         "\"parame\" is not a list of settings"},
        {R"({"quillet-export": 1, "mynodes": [], "parame": [{"ID": "1", "timilo": 0}]})",
         "row 1 of \"parame\" is not an ID with a timilo"},
        {header + R"("mynodes": [{"ID": 1, "Kleidi": "A"}]})",
         "row 1 of \"mynodes\" has no \"MyText\""},
        {header + R"("mynodes": [{"ID": 1.5, "Kleidi": "A", )" + row + "]}",
         "row 1 of \"mynodes\" has an ID that is not a whole number"},
        {header + R"("mynodes": [{"ID": 1, "Kleidi": [1], )" + row + "]}",
         "row 1 of \"mynodes\", \"Kleidi\", is not a value the file can hold"},
        {header + R"("mynodes": [{"ID": 1, "Kleidi": 9223372036854775808, )" + row + "]}",
         "\"Kleidi\", is a number too large to store"},
        {header + R"("mynodes": [{"ID": 1, "Kleidi": {"weird": "A"}, )" + row + "]}",
         "a value of an unknown kind, \"weird\""},
        {header + R"("mynodes": [{"ID": 1, "Kleidi": {"text-base64": "%A"}, )" + row + "]}",
         "a value in base64 holds \"%\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.said);
        const std::string file = folder.path("in.json");
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        try {
            dbtool::importJson(file, folder.path("new.mdb"));
            ADD_FAILURE() << "imported";
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find(c.said), std::string::npos) << error.what();
        }
        EXPECT_FALSE(std::ifstream(folder.path("new.mdb")).good());
    }
}

TEST(toolsExport, TextFormatsFollowTheOutlineAndEscapeTheirMarkup)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    // B1 has a lower ID than A1 but comes after all of A in the outline.
    createDatabase(path,
                   {{"A", "First <&>"}, {"B", "Second"}, {"B1", "Under B"}, {"A1", "Under A"}});
    execSql(path,
            "UPDATE mynodes SET Keimeno = '  # not a *heading* & <b>x</b>\n1. not a list' "
            "WHERE Kleidi = 'A1';"
            "UPDATE mynodes SET Keimeno = 'plain', MegFonta = 12, Grammatoseira = 'Liberation "
            "Serif', XromaFont = 255, XromaBack = 65280, FontaBold = 1, FontaPlagia = 1 "
            "WHERE Kleidi = 'B1'");
    struct Case
    {
        dbtool::ExportFormat format;
        std::vector<std::string> inOrder; // each found after the one before
    };
    const std::vector<Case> cases{
        {dbtool::ExportFormat::Markdown,
         {"# First \\<\\&\\>\n", "## Under A\n",
          "&nbsp;&nbsp;\\# not a \\*heading\\* \\& \\<b\\>x\\</b\\>\\\n1\\. not a list\n",
          "# Second\n", "## Under B\n", "plain\n"}},
        {dbtool::ExportFormat::Html,
         {"<h1>First &lt;&amp;&gt;</h1>", "<h2>Under A</h2>",
          "  # not a *heading* &amp; &lt;b&gt;x&lt;/b&gt;\n1. not a list</div>", "<h1>Second</h1>",
          "<h2>Under B</h2>",
          "font-family: 'Liberation Serif'; font-size: 12pt; color: #ff0000; background-color: "
          "#00ff00; font-weight: bold; font-style: italic\">plain</div>"}},
        {dbtool::ExportFormat::Text,
         {"First <&>\n", "  Under A\n        # not a *heading* & <b>x</b>\n      1. not a list\n",
          "Second\n", "  Under B\n      plain\n"}},
    };
    for (const Case &c : cases) {
        const std::string out = exported(path, c.format);
        std::size_t at = 0;
        for (const std::string &part : c.inOrder) {
            const std::size_t found = out.find(part, at);
            EXPECT_NE(found, std::string::npos) << "missing or out of order: " << part << "\nin:\n"
                                                << out;
            at = found == std::string::npos ? at : found + part.size();
        }
    }
}

// Markdown has six heading levels: a deeper item's heading is a sixth-level one, still a
// heading, and its place below the sixth level stays in the order of the outline.
TEST(toolsExport, MarkdownHeadingsBelowTheSixthLevelAreSixthLevelOnes)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    createDatabase(path, {{"A", "one"},
                          {"A1", "two"},
                          {"A11", "three"},
                          {"A111", "four"},
                          {"A1111", "five"},
                          {"A11111", "six"},
                          {"A111111", "seven"}});
    const std::string out = exported(path, dbtool::ExportFormat::Markdown);
    EXPECT_NE(out.find("\n###### six\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n###### seven\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("#######"), std::string::npos) << out;
}

} // namespace
} // namespace quillet::test

namespace quillet::test {
namespace {

// Text that a UTF-8 text file cannot hold (NUL, ESC, bytes that are not UTF-8) is written as
// U+FFFD by the text formats, and counted; JSON keeps every byte.
TEST(toolsExport, TextFormatsWriteWhatTextCannotHoldAsReplacementCharacters)
{
    TempFolder folder;
    const std::string path = folder.path("mydata.mdb");
    createDatabase(path, {{"A", "Top"}});
    execSql(path, "UPDATE mynodes SET Keimeno = 'a' || char(0) || 'b' || char(27) || '[31m' || "
                  "CAST(X'FF' AS TEXT) || 'c' || char(9) || 'd' WHERE Kleidi='A'");
    const std::pair<dbtool::ExportFormat, std::string> formats[] = {
        {dbtool::ExportFormat::Markdown, "a\xEF\xBF\xBD"
                                         "b\xEF\xBF\xBD\\[31m\xEF\xBF\xBD"
                                         "c\td"},
        {dbtool::ExportFormat::Html, "a&#xFFFD;b&#xFFFD;[31m&#xFFFD;c\td"},
        {dbtool::ExportFormat::Text, "a\xEF\xBF\xBD"
                                     "b\xEF\xBF\xBD[31m\xEF\xBF\xBD"
                                     "c\td"},
    };
    for (const auto &[format, note] : formats) {
        std::ostringstream out;
        EXPECT_EQ(dbtool::exportDatabase(path, format, out), 3u);
        const std::string text = out.str();
        EXPECT_NE(text.find(note), std::string::npos) << text;
        EXPECT_EQ(text.find('\0'), std::string::npos);
        EXPECT_EQ(text.find('\x1B'), std::string::npos);
        EXPECT_EQ(text.find('\xFF'), std::string::npos);
    }
    std::ostringstream json;
    EXPECT_EQ(dbtool::exportDatabase(path, dbtool::ExportFormat::Json, json), 0u);
    // "a\0b\x1B[31m\xFFc\td" in base64: every byte as it was.
    EXPECT_NE(json.str().find("\"Keimeno\": {\"text-base64\":\"YQBiG1szMW3/Ywlk\"}"),
              std::string::npos);
}

} // namespace
} // namespace quillet::test
