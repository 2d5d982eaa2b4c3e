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
#include "app/language.h"
#include "engine/performance_state.h"
#include "platform/wave_out.h"

namespace {

constexpr const char* kUsage =
    "usage: aerolyre [--device NAME] [--midi] [--midi-in] [--take FILE.csv] [--tone FILE.aly | FILE.aly]\n"
    "                [--language ja|en] [Qt options]\n"
    "       aerolyre --list-devices | --help | --version\n";

// The options QApplication and its X11 and Wayland platforms take for themselves (with one dash
// or two): those followed by a value, and those that stand alone. Qt takes them out of argv.
constexpr const char* kQtValueOptions[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon",  "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",      "geometry",           "name",          "title",  "visual",
    "qmljsdebugger"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb",
                                          "dograb",  "sync",        "testability"};

// The name of a Qt option without its dashes and any "=value"; empty when arg is none.
std::string QtOptionName(const std::string& arg, bool& bTakesValue) {
    if (arg.size() < 2 || arg[0] != '-') return {};
    std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
    const auto eq = name.find('=');
    const bool bInline = eq != std::string::npos;
    if (bInline) name.resize(eq);
    for (const char* p : kQtValueOptions) {
        if (name == p) {
            bTakesValue = !bInline;
            return name;
        }
    }
    for (const char* p : kQtFlagOptions) {
        if (name == p && !bInline) {
            bTakesValue = false;
            return name;
        }
    }
    return {};
}

// An option's value: "--name VALUE" or "--name=VALUE"; false when it is missing.
bool OptionValue(const std::string& arg, const char* pszName, int& i, int argc, char** argv,
                 std::string& strValue) {
    const std::string name = pszName;
    if (arg == name) {
        if (i + 1 >= argc) return false;
        strValue = argv[++i];
        return true;
    }
    strValue = arg.substr(name.size() + 1);
    return true;
}
bool IsOption(const std::string& arg, const char* pszName) {
    const std::string name = pszName;
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

// Takes the program's own options out of argv, leaving Qt's; returns an exit status when the
// program is done without a window (or refuses the command line), -1 otherwise. Options given
// here are for this run: none of them is remembered.
int TakeOwnOptions(int& argc, char** argv) {
    std::vector<char*> rest{argv[0]};
    std::vector<std::string> notUnderstood;
    std::string strTone;
    bool bOptionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        bool bQtValue = false;
        if (bOptionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            // A file: the tone to start with; there is room for one.
            if (strTone.empty()) {
                strTone = arg;
            } else {
                notUnderstood.push_back(arg);
            }
        } else if (arg == "--") {
            bOptionsEnd = true;
        } else if (arg == "--list-devices") {
            for (const std::string& strName : ListWaveOutDevices()) std::printf("%s\n", strName.c_str());
            return 0;
        } else if (arg == "--help") {
            std::printf("%s", kUsage);
            return 0;
        } else if (arg == "--version") {
            std::printf("aerolyre %s\n", AEROLYRE_VERSION);
            return 0;
        } else if (IsOption(arg, "--device")) {
            std::string strName;
            if (!OptionValue(arg, "--device", i, argc, argv, strName)) {
                std::fprintf(stderr, "aerolyre: --device needs a device name\n%s", kUsage);
                return 2;
            }
            SetWaveOutDevice(strName);
            CAerolyreDlg::s_bDeviceGiven = true;
        } else if (arg == "--midi") {
            CAerolyreDlg::s_bMidiGiven = true;
        } else if (arg == "--midi-in") {
            CAerolyreDlg::s_bMidiInGiven = true;
        } else if (IsOption(arg, "--take")) {
            if (!OptionValue(arg, "--take", i, argc, argv, CAerolyreDlg::s_strTakePath)) {
                std::fprintf(stderr, "aerolyre: --take needs a file name\n%s", kUsage);
                return 2;
            }
        } else if (IsOption(arg, "--language")) {
            std::string strCode;
            const bool bGiven = OptionValue(arg, "--language", i, argc, argv, strCode);
            CAerolyreApp::s_strLanguageGiven = LanguageOf(strCode);
            if (!bGiven || CAerolyreApp::s_strLanguageGiven.empty()) {
                std::fprintf(stderr, "aerolyre: --language takes ja or en, not: %s\n", strCode.c_str());
                return 2;
            }
        } else if (IsOption(arg, "--tone")) {
            std::string strPath;
            if (!OptionValue(arg, "--tone", i, argc, argv, strPath)) {
                std::fprintf(stderr, "aerolyre: --tone needs a file name\n%s", kUsage);
                return 2;
            }
            if (!strTone.empty()) notUnderstood.push_back(strTone);
            strTone = strPath;
        } else if (!QtOptionName(arg, bQtValue).empty()) {
            rest.push_back(argv[i]);
            if (bQtValue && i + 1 < argc) rest.push_back(argv[++i]);
        } else {
            notUnderstood.push_back(arg);
        }
    }
    if (!notUnderstood.empty()) {
        std::string strList;
        for (const std::string& a : notUnderstood) strList += (strList.empty() ? "" : " ") + a;
        std::fprintf(stderr, "aerolyre: not understood: %s (aerolyre --help lists the options)\n",
                     strList.c_str());
        return 2;
    }
    CAerolyreDlg::s_strStartTone = strTone;
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
