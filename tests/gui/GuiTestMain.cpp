// The GUI tests need one application object for the whole run.
#include <gtest/gtest.h>

#include "gui/Application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quillmark::TApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
