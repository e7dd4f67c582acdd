#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Every test program runs headless and has an application object for widgets and fonts.
int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", QUILLET_TEST_PLATFORM, 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
