#include "tools/import/XmlInput.h"

#include "support/TestDatabase.h"
#include "tools/import/ImportedOutline.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

using dbtool::XmlInput;

// A document in another encoding than UTF-8 is converted a block at a time, by the name it
// declares or the byte-order mark it begins with: a single-byte code page, and UTF-16 with a
// character of two code units across the first block's end. A name the toolkit does not know is
// refused.
TEST(toolsXmlInput, ConvertsTheEncodingADocumentDeclaresOrMarks)
{
    constexpr std::size_t kBlock = 64 * 1024;
    std::string alpha, emoji;
    for (std::size_t i = 0; i < 3 * kBlock; ++i)
        alpha += "\xCE\xB1";
    for (int i = 0; i < 40000; ++i)
        emoji += "\xF0\x9D\x84\x9E";
    QStringEncoder toUtf16(QStringConverter::Utf16LE);
    const QByteArray utf16 = toUtf16(QString::fromStdString("<a>x" + emoji + "</a>"));
    const std::pair<std::string, std::string> converted[] = {
        {"<?xml version='1.0' encoding='windows-1253'?><a>" + std::string(3 * kBlock, '\xE1') +
             "</a>",
         alpha},
        {"\xFF\xFE" + utf16.toStdString(), "x" + emoji},
    };
    TempFolder folder;
    const std::string file = folder.path("doc.xml");
    for (const auto &[bytes, text] : converted) {
        writeFile(file, bytes);
        XmlInput input(file);
        input.expectRoot("a", "a test document");
        EXPECT_TRUE(input.readText() == text) << bytes.substr(0, 60);
        EXPECT_EQ(input.next(), XmlToken::EndDocument);
    }
    try {
        XmlInput input(std::string_view("<?xml version='1.0' encoding='no-such-code'?><a/>"),
                       "doc");
        ADD_FAILURE() << "read a document in an encoding no converter knows";
    } catch (const dbtool::ImportRefused &refused) {
        EXPECT_STREQ(refused.what(),
                     "doc, line 1: it declares the encoding \"no-such-code\", which cannot be "
                     "read.");
    }
}

} // namespace
} // namespace quillet::test
