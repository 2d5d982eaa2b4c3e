// GoogleTest with a QApplication on Qt's offscreen platform, for the widget tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/language.h"
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
    // AEROLYRE_LANGUAGE=en runs the tests in English, as the program would.
    if (const char* pszLanguage = std::getenv("AEROLYRE_LANGUAGE"); pszLanguage != nullptr) {
        if (!UseLanguage(ChooseLanguage("", pszLanguage, ""))) return 1;
    }
    InitDialogFramework(&LoadResString, kAppIcon32, kAppIcon16);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
