// Window tests run offscreen with one application object for the program.
#include <gtest/gtest.h>

#include "ui/Application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SORNAVAL_SOUND", "null");  // no sound card is probed by the window tests
    sv::SornavalApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
