#include <QCoreApplication>

#include <gtest/gtest.h>

// The stand-in and its clients need a Qt application object for their event loops.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
