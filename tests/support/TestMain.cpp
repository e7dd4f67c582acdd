#include <QCoreApplication>

#include <gtest/gtest.h>

// The store's, the tool's and the fault tests' programs: no windows, but an application object
// for the toolkit's processes and files.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
