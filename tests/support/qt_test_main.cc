// Window tests run against Qt's offscreen platform with one application object for the run.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Fretwright");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
