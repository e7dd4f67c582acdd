#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace quillet::test {
namespace {

// A key pressed in the box as soon as it is shown, and the answer it gives: Enter takes the
// default button, which for a question that could do harm must be No.
TEST(QtMessageBoxesTest, EnterTakesTheDefaultAndEscapeSaysNo)
{
    using Answer = MessageBoxes::Answer;
    using Buttons = MessageBoxes::Buttons;
    const struct
    {
        Buttons buttons;
        Qt::Key key;
        Answer answer;
    } cases[] = {
        {Buttons::YesNo, Qt::Key_Return, Answer::Yes},
        {Buttons::YesNoDefaultNo, Qt::Key_Return, Answer::No},
        {Buttons::YesNo, Qt::Key_Escape, Answer::No},
        {Buttons::YesNoDefaultNo, Qt::Key_Escape, Answer::No},
        {Buttons::Ok, Qt::Key_Return, Answer::Ok},
    };
    QtMessageBoxes boxes;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.buttons) << " key " << c.key);
        bool pressed = false;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, c.key);
            pressed = true;
        });
        EXPECT_EQ(boxes.ask(nullptr, QStringLiteral("Quillet"), QStringLiteral("Make it?"),
                            c.buttons, MessageBoxes::Icon::Warning),
                  c.answer);
        EXPECT_TRUE(pressed);
    }
}

} // namespace
} // namespace quillet::test
