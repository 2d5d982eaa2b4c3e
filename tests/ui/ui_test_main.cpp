// GoogleTest with a QApplication on Qt's offscreen platform, for the widget tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "engine/performance_state.h"
#include "platform/qt/dialog.h"
#include "res/app_icon.h"
#include "res/string_table.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests' settings live in a folder of their own, never the user's.
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.Root().c_str(), 1);
    InitPerformanceState();
    QApplication app(argc, argv);
    InitDialogFramework(&LoadResString, kAppIcon32, kAppIcon16);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
