#include "text/XmlReader.h"

#include "support/TestDatabase.h"
#include "text/InputRefused.h"

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// Every token of a document on one line: <name a="v">, "text" and </name>.
std::string tokensOf(XmlReader &input)
{
    std::string out;
    for (XmlToken token = input.next(); token != XmlToken::EndDocument; token = input.next()) {
        if (token == XmlToken::StartElement) {
            out += "<" + std::string(input.name());
            for (const XmlAttribute &attribute : input.attributes())
                out += " " + attribute.name + "=\"" + attribute.value + "\"";
            out += ">";
        } else if (token == XmlToken::EndElement) {
            out += "</" + std::string(input.name()) + ">";
        } else {
            out += "\"" + input.text() + "\"";
        }
    }
    return out;
}

std::string readOrRefusal(const std::string &xml)
{
    try {
        XmlReader input(xml, "doc");
        return tokensOf(input);
    } catch (const InputRefused &refused) {
        return std::string("refused: ") + refused.what();
    }
}

TEST(textXmlReader, ReadsWhatXmlMeansAndRefusesWhatIsNotXml)
{
    struct Case
    {
        std::string xml;
        std::string read; // the tokens, or the start of "refused: ..."
    };
    const Case cases[] = {
        // What a document may hold, as XML reads it.
        {"<?xml version='1.0' encoding='UTF-8'?>\n<!-- c --><a x='1' y = \"&lt;&amp;&gt;\"/>",
         "<a x=\"1\" y=\"<&>\"></a>"},
        {"\xEF\xBB\xBF<a>&#945;&#x3B2;&apos;&quot;</a>", "<a>\"\xCE\xB1\xCE\xB2'\"\"</a>"},
        {"<a t=\"1\n2\t3\r\n4&#10;5&#13;\">x\r\ny\rz</a>", "<a t=\"1 2 3 4\n5\r\">\"x\ny\nz\"</a>"},
        {"<a>1<![CDATA[<b>&amp;]]]]>2<?pi x?><!--<c>--></a>", "<a>\"1\"\"<b>&amp;]]\"\"2\"</a>"},
        {"<!DOCTYPE a [<!-- don't --><!ELEMENT a (#PCDATA)>]><a x='>'>]</a>",
         "<a x=\">\">\"]\"</a>"},
        {"<a><b/><c></c ></a>\n<!-- after -->\n", "<a><b></b><c></c></a>"},
        {"\xEF\xBB\xBF<?xml version='1.0'?><!DOCTYPE a SYSTEM 'a>b' [<?p ]>?>]><a>&#x3B1;</a>",
         "<a>\"\xCE\xB1\"</a>"},
        // Leniently: an instruction whose content follows its name without a space, as an
        // outliner writes it.
        {"<?pos=\"1\"?><a><?pos=\"2\"?>x</a>", "<a>\"x\"</a>"},
        // What it may not.
        {"<a><b></a></b>", "refused: doc, line 1: it is not well-formed XML: </a> where <b>"},
        {"<a/><b/>", "refused: doc, line 1: it is not well-formed XML: a second element"},
        {"<a/>x", "refused: doc, line 1: it is not well-formed XML: text after"},
        {"x<a/>", "refused: doc, line 1: it is not well-formed XML: text before"},
        {"", "refused: doc, line 1: it is not well-formed XML: it holds no element"},
        {"<a>\n\n<b>", "refused: doc, line 3: it is not well-formed XML: it ends inside <b>"},
        {"<a x='1' x='2'/>", "refused: doc, line 1: it is not well-formed XML: <a> has the"},
        {"<a x='<'/>", "refused: doc, line 1: it is not well-formed XML: '<' in an attribute"},
        {"<a x=1/>", "refused: doc, line 1: it is not well-formed XML: an attribute's value"},
        {"<a x='1'y='2'/>", "refused: doc, line 1: it is not well-formed XML: the attributes"},
        {"<a>&#0;</a>", "refused: doc, line 1: it is not well-formed XML: a character reference "
                        "to a character XML does not allow (&#0;)"},
        {"<a>&#xD800;</a>", "refused: doc, line 1: it is not well-formed XML: a character "
                            "reference to a character XML does not allow (&#xD800;)"},
        {"<a>&#x110000;</a>", "refused: doc, line 1: it is not well-formed XML: a character"},
        {"<a>&e;</a>", "refused: doc, line 1: it is not well-formed XML: the entity &e;"},
        {"<a>&amp</a>", "refused: doc, line 1: it is not well-formed XML: the reference &amp"},
        {"<a>\x01</a>", "refused: doc, line 1: it is not well-formed XML: the control character"},
        {"<a x='\x1F'/>", "refused: doc, line 1: it is not well-formed XML: the control"},
        {"<a>]]></a>", "refused: doc, line 1: it is not well-formed XML: \"]]>\" in text"},
        {"<a>caf\xE9</a>", "refused: doc, line 1: it is not well-formed XML: a byte that is not"},
        {"<a \xE9='1'/>", "refused: doc, line 1: it is not well-formed XML: a name that is not"},
        {" <?xml version='1.0'?><a/>", "refused: doc, line 1: it is not well-formed XML: an XML"},
        {"<a><!-- open </a>", "refused: doc, line 1: it is not well-formed XML: it ends inside a"},
        {"<a x='1", "refused: doc, line 1: it is not well-formed XML: it ends inside an attr"},
        {"<a x='1'", "refused: doc, line 1: it is not well-formed XML: it ends inside the tag"},
        {"<a>&#x;</a>", "refused: doc, line 1: it is not well-formed XML: a character reference "
                        "that is not a number"},
        {"<a><?=\"1\"?></a>", "refused: doc, line 1: it is not well-formed XML: expected a "
                              "processing instruction's name"},
        {"<a/><?xml version='1.0'?>", "refused: doc, line 1: it is not well-formed XML: an XML"},
        {"<?xml version='1.0' encoding='no-such-code'?><a/>",
         "refused: doc, line 1: it declares the encoding \"no-such-code\""},
        {"<!DOCTYPE a [<!-- \" --><!ENTITY e 'x'>]><a/>",
         "refused: doc, line 1: it declares entities of its own"},
        {"<!DOCTYPE a><!DOCTYPE a><a/>", "refused: doc, line 1: it is not well-formed XML: a"},
    };
    for (const Case &c : cases) {
        const std::string read = readOrRefusal(c.xml);
        EXPECT_EQ(read.substr(0, c.read.size()), c.read) << c.xml;
    }
}

// A file is read a block at a time: a line break of two bytes, a character of several, a
// reference and a tag each read the same wherever a block ends inside them, and values larger
// than a block come whole.
TEST(textXmlReader, ReadsTheSameWhereverABlockEnds)
{
    constexpr std::size_t kBlock = 64 * 1024;
    const std::string large(3 * kBlock, 'v');
    const std::string piece = "x\r\n\xCE\xB1&amp;\xE2\x82\xAC<b t='&#10;\r\n'/>y";
    TempFolder folder;
    const std::string file = folder.path("doc.xml");
    for (std::size_t before = kBlock - 24; before <= kBlock + 2; ++before) {
        const std::string head = "<a n='" + large + "'>";
        const std::string filler(before - head.size() % kBlock + kBlock, ' ');
        writeFile(file, head + filler + piece + "</a>");
        XmlReader input(file);
        ASSERT_EQ(input.next(), XmlToken::StartElement);
        EXPECT_EQ(input.attribute("n"), large);
        EXPECT_EQ(tokensOf(input),
                  "\"" + filler + "x\n\xCE\xB1&\xE2\x82\xAC\"<b t=\"\n \"></b>\"y\"</a>")
            << before;
    }
    writeFile(file, "<a>\n" + large + "\n\n<b></a>");
    try {
        XmlReader input(file);
        tokensOf(input);
        ADD_FAILURE() << "read a document whose tags do not match";
    } catch (const InputRefused &refused) {
        EXPECT_NE(std::string(refused.what()).find("doc.xml, line 4:"), std::string::npos)
            << refused.what();
    }
}

} // namespace
} // namespace quillet::test
