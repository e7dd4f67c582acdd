#include "notes/KeyNumbering.h"

#include "notes/OutlineModel.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(KeyNumberingTest, SiblingsOfTopLevelItemsTakeTheNextCharacterCode)
{
    OutlineModel model;
    for (const char *key : {"A", "A1", "C", "C1"})
        model.add(key, key, QString(key).size() > 1 ? QString(key).left(1) : QString());
    NewItem item = newSiblingItem("A", model);
    EXPECT_EQ(item.key, "D");
    EXPECT_EQ(item.placeLabel, "[basic]");
    EXPECT_TRUE(item.fits);

    model.add("Z", "z", {});
    EXPECT_EQ(newSiblingItem("C", model).key, "[");
    model.add(QString(QChar(0xFE)), "254", {});
    EXPECT_EQ(newSiblingItem("A", model).key, QString(QChar(0xFF)));
    model.add(QString(QChar(0xFF)), "255", {});
    EXPECT_FALSE(newSiblingItem("A", model).fits);
}

TEST(KeyNumberingTest, DigitsCountOnlySiblingsAndChildren)
{
    OutlineModel model;
    for (const char *key : {"A", "A2", "A21", "A29", "B", "B7"})
        model.add(key, QStringLiteral("t") + key,
                  QString(key).size() > 1 ? QString(key).chopped(1) : QString());
    EXPECT_EQ(newSiblingItem("A2", model).key, "A3");
    EXPECT_EQ(newSiblingItem("A2", model).placeLabel, "tA");
    EXPECT_EQ(newChildItem("A", "tA", model).key, "A3");
    EXPECT_EQ(newChildItem("B7", "tB > tB7", model).key, "B71");
    EXPECT_EQ(newChildItem("B7", "tB > tB7", model).placeLabel, "tB > tB7");
    // A29 is the ninth child: there is no tenth.
    EXPECT_FALSE(newSiblingItem("A21", model).fits);
    EXPECT_FALSE(newChildItem("A2", "tA > tA2", model).fits);
}

} // namespace
} // namespace quillet
