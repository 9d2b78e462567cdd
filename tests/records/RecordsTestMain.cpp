#include <QCoreApplication>

#include <gtest/gtest.h>

// The records queue, the stand-in service and the awaiting helpers need a Qt application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
