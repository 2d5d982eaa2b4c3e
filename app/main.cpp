// The program's entry: the performance state's start-up value, the Qt application, the shell.
#include <QApplication>

#include "app/aerolyre_app.h"
#include "engine/performance_state.h"

int main(int argc, char** argv) {
    InitPerformanceState();
    QApplication app(argc, argv);
    CAerolyreApp theApp;
    theApp.InitInstance();
    return 0;
}
