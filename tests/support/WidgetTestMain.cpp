// main() for the widget tests: a QApplication on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // As the program: a name but no display name, which the toolkit would append to captions.
    QApplication::setApplicationName(QStringLiteral("Brisfold"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
