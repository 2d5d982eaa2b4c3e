// The program's entry: its own command-line options, the performance state's start-up value, the
// Qt application, the shell.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/aerolyre_app.h"
#include "app/aerolyre_dlg.h"
#include "engine/performance_state.h"
#include "platform/wave_out.h"

namespace {

constexpr const char* kUsage =
    "usage: aerolyre [--device NAME] [--midi] [--midi-in] [--take FILE.csv] [Qt options]\n"
    "       aerolyre --list-devices | --help | --version\n";

// Takes the program's own options out of argv (Qt reads the rest); returns an exit status when
// the program is done without a window, -1 otherwise.
int TakeOwnOptions(int& argc, char** argv) {
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--list-devices") {
            for (const std::string& strName : ListWaveOutDevices()) std::printf("%s\n", strName.c_str());
            return 0;
        }
        if (arg == "--device" || arg.rfind("--device=", 0) == 0) {
            std::string strName;
            if (arg == "--device") {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "aerolyre: --device needs a device name\n%s", kUsage);
                    return 2;
                }
                strName = argv[++i];
            } else {
                strName = arg.substr(std::strlen("--device="));
            }
            SetWaveOutDevice(strName);
            CAerolyreDlg::s_bDeviceGiven = true;
            continue;
        }
        if (arg == "--midi") {
            CAerolyreDlg::s_bMidiGiven = true;
            continue;
        }
        if (arg == "--midi-in") {
            CAerolyreDlg::s_bMidiInGiven = true;
            continue;
        }
        if (arg == "--take" || arg.rfind("--take=", 0) == 0) {
            if (arg == "--take" && i + 1 >= argc) {
                std::fprintf(stderr, "aerolyre: --take needs a file name\n%s", kUsage);
                return 2;
            }
            CAerolyreDlg::s_strTakePath = arg == "--take" ? argv[++i] : arg.substr(std::strlen("--take="));
            continue;
        }
        if (arg == "--help") {
            std::printf("%s", kUsage);
            return 0;
        }
        if (arg == "--version") {
            std::printf("aerolyre %s\n", AEROLYRE_VERSION);
            return 0;
        }
        rest.push_back(argv[i]);
    }
    argc = static_cast<int>(rest.size());
    for (int i = 0; i < argc; ++i) argv[i] = rest[i];
    argv[argc] = nullptr;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int nStatus = TakeOwnOptions(argc, argv); nStatus >= 0) return nStatus;
    InitPerformanceState();
    // A file size limit fails the write (EFBIG) like a full disk, instead of killing the program
    // with its settings unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // Lets a Wayland compositor match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("org.aerolyre.Aerolyre");
    CAerolyreApp theApp;
    theApp.InitInstance();
    return 0;
}
