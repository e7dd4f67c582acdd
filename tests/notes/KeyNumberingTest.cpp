#include "notes/outline/KeyNumbering.h"

#include "notes/outline/OutlineModel.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct NumberingCase
{
    const char *name;
    QStringList keys; // parents first; each titled "t" and its key
    QString selected;
    bool child;       // Command1 (a subitem) rather than Command4 (an item beside)
    QString expected; // empty: no room
    QString label;    // the place named in the confirmation
};

QStringList keysWith(QStringList keys, QChar first, QChar last)
{
    for (char16_t code = first.unicode(); code <= last.unicode(); ++code)
        keys << QString(QChar(code));
    return keys;
}

TEST(KeyNumberingTest, NewKeysTakeTheHighestNumberPlusOneOrTheLowestFree)
{
    const QStringList nine = {"A", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9"};
    const NumberingCase cases[] = {
        {"TopLevelAfterTheHighestCode", {"A", "A1", "C", "C1"}, "A", false, "D", "[basic]"},
        {"TopLevelPastZ", {"A", "Z"}, "Z", false, "[", "[basic]"},
        {"TopLevelUpToCode255",
         {"A", QString(QChar(0xFE))},
         "A",
         false,
         QString(QChar(0xFF)),
         "[basic]"},
        {"TopLevelPast255TakesTheLowestFree",
         {"A", "C", QString(QChar(0xFF))},
         "C",
         false,
         "B",
         "[basic]"},
        {"EveryTopLevelCodeInUse", keysWith({}, 'A', QChar(0xFF)), "A", false, {}, "[basic]"},
        {"SiblingsOnlyCount", {"A", "A2", "A21", "A29", "B", "B7"}, "A2", false, "A3", "tA"},
        {"ChildrenOnlyCount", {"A", "A2", "A21", "A29", "B", "B7"}, "A", true, "A3", "path"},
        {"FirstChild", {"A", "B", "B7"}, "B7", true, "B71", "path"},
        {"GapsStay", {"A", "A1", "A3"}, "A3", false, "A4", "tA"},
        {"TheNinthFits", nine.mid(0, 9), "A1", false, "A9", "tA"},
        {"PastNineTheLowestFree", {"A", "A9"}, "A9", false, "A1", "tA"},
        {"PastNineTheLowestFreeChild", {"A", "A2", "A21", "A23", "A29"}, "A2", true, "A22", "path"},
        {"AllNineInUse", nine, "A5", false, {}, "tA"},
        {"AllNineChildrenInUse", nine, "A", true, {}, "path"},
    };
    for (const NumberingCase &c : cases) {
        SCOPED_TRACE(c.name);
        OutlineModel model;
        for (const QString &key : c.keys)
            model.add(key, QStringLiteral("t") + key, parentKey(key));
        const NewItem item =
            c.child ? newChildItem(c.selected, "path", model) : newSiblingItem(c.selected, model);
        EXPECT_EQ(item.fits, !c.expected.isEmpty()) << item.key.toStdString();
        if (item.fits) {
            EXPECT_EQ(item.key, c.expected);
        }
        EXPECT_EQ(item.placeLabel, c.label);
    }
}

} // namespace
} // namespace quillet
