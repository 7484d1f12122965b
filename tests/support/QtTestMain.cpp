// The main of every test that needs widgets: one QApplication set up as the program sets it up.
#include "platform/toolkit/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace toolkit = pikota::toolkit;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
