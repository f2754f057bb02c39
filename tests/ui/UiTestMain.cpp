// Window tests run offscreen with one application object for the program.
#include <gtest/gtest.h>

#include "ui/Application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    sv::SornavalApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
