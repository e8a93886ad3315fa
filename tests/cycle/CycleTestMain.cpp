#include <QCoreApplication>
#include <gtest/gtest.h>

// The runner hands its reports over through the event loop of a core application.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
