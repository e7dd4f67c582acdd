#include "notes/editor/EditorFormat.h"

#include <gtest/gtest.h>

namespace quillet {

void PrintTo(const EditorFormat &f, std::ostream *os)
{
    *os << f.fontName.toStdString() << ' ' << f.fontSize << "pt " << f.foreColor << '/'
        << f.backColor << (f.bold ? " bold" : "") << (f.italic ? " italic" : "");
}

namespace test {
namespace {

// A row holding the given format columns; the note text plays no part.
NoteRow row(Value size, Value name, Value fore, Value back, Value bold, Value italic)
{
    return NoteRow{Value::text("note"), size, name, fore, back, bold, italic};
}

// What the editor shows before the note: every property unlike both the default and the rows.
const EditorFormat kBefore{QStringLiteral("DejaVu Serif"), 16.0, 128, 12632256, false, true};

struct FormatCase
{
    const char *name;
    std::optional<NoteRow> row;
    EditorFormat shown;
};

TEST(EditorFormatTest, ARowGivesTheDefaultOrItsUsableColumns)
{
    const EditorFormat courier = defaultFormat();
    const Value null;
    const FormatCase cases[] = {
        {"MissingRow", std::nullopt, courier},
        {"ZeroSizeOverridesEverything",
         row(Value::integer(0), Value::text("DejaVu Sans"), Value::integer(255), Value::integer(0),
             Value::integer(1), Value::integer(1)),
         courier},
        {"SizeThatIsNotANumber",
         row(Value::text("large"), Value::text("DejaVu Sans"), null, null, null, null), courier},
        {"StoredWithTheNameTrimmed",
         row(Value::real(14), Value::text("  DejaVu Sans  "), Value::integer(255),
             Value::integer(0x00FF00), Value::integer(1), Value::integer(0)),
         {QStringLiteral("DejaVu Sans"), 14.0, 0x0000FF, 0x00FF00, true, false}},
        // Null is not 0: each Null column keeps the editor's property.
        {"NullColumnsKeepTheEditors", row(null, null, null, null, null, null), kBefore},
        {"SizeNoFontTakesIsSkipped",
         row(Value::integer(99999), Value::text("DejaVu Sans"), null, null, null, null),
         {QStringLiteral("DejaVu Sans"), 16.0, 128, 12632256, false, true}},
        {"NegativeSizeIsSkipped",
         row(Value::real(-3), null, null, null, Value::text("true"), null),
         {QStringLiteral("DejaVu Serif"), 16.0, 128, 12632256, true, true}},
        {"BlankNameAndColourBeyond32BitsAreSkipped",
         row(Value::real(9.75), Value::text("   "), Value::integer(4294967296LL), Value::real(-1.5),
             null, Value::integer(0)),
         {QStringLiteral("DejaVu Serif"), 9.75, 128, -2, false, false}},
        // A system colour (top bit set) is kept as stored; the editor takes it from the palette.
        {"SystemColoursAreKept",
         row(Value::integer(12), null, Value::integer(-2147483640), Value::integer(-2147483643),
             null, null),
         {QStringLiteral("DejaVu Serif"), 12.0, -2147483640, -2147483643, false, true}},
    };
    for (const FormatCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shownFormat(c.row, kBefore), c.shown);
    }
}

TEST(EditorFormatTest, AShownFormatIsStoredAsShown)
{
    const NoteFormat stored = storedFormat(
        shownFormat(row(Value::real(9.75), Value::text("Liberation Mono"), Value::integer(-2),
                        Value::integer(0xFFFFFF), Value::integer(0), Value::integer(1)),
                    kBefore));
    EXPECT_EQ(stored.fontName, "Liberation Mono");
    EXPECT_FLOAT_EQ(stored.fontSize, 9.75f);
    EXPECT_EQ(stored.foreColor, -2);
    EXPECT_EQ(stored.backColor, 0xFFFFFF);
    EXPECT_FALSE(stored.bold);
    EXPECT_TRUE(stored.italic);
}

TEST(EditorFormatTest, ShowableSizesRunFromAboveZeroToTheLargest)
{
    EXPECT_FALSE(isShowableSize(0));
    EXPECT_TRUE(isShowableSize(0.25));
    EXPECT_TRUE(isShowableSize(kLargestFontSize));
    EXPECT_FALSE(isShowableSize(kLargestFontSize + 0.5));
}

} // namespace
} // namespace test
} // namespace quillet
