#include <gtest/gtest.h>

#include <QCoreApplication>

#include "TempHome.h"

// Every test binary starts inside a throw-away home, so even a test that
// forgets its own never reaches the user's files.
int main(int argc, char** argv) {
    varnholt::test::TempHome home;
    if (!home.isValid()) {
        return 1;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
