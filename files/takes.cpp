// Take files: names, folder, pruning.
#include "files/takes.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/file.h"
#include "platform/xdg.h"

namespace fs = std::filesystem;

std::string TakeFolder() {
    const std::string base = XdgBaseDir("XDG_DATA_HOME", ".local/share");
    return base.empty() ? std::string() : base + "/aerolyre/takes";
}

std::string NewTakePath(std::string& strError) {
    const std::string folder = TakeFolder();
    if (folder.empty()) {
        strError = kNoHomeReason;
        return {};
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        strError = CFileException(CFileException::badPath, ec.value(), folder).GetErrorMessage();
        return {};
    }
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char name[64];
    std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S", &tm);
    std::string path = folder + "/" + name + ".csv";
    for (int n = 2; fs::exists(path, ec); ++n) path = folder + "/" + name + "-" + std::to_string(n) + ".csv";
    return path;
}

std::string TakeSiblingPath(const std::string& strScript, const char* pszExtension) {
    const std::size_t dot = strScript.rfind('.');
    const std::size_t slash = strScript.rfind('/');
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? strScript.substr(0, dot)
                                 : strScript;
    return stem + pszExtension;
}

std::string ShellQuoted(const std::string& strPath) {
    const bool bPlain = !strPath.empty() && strPath.find_first_not_of(
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "abcdefghijklmnopqrstuvwxyz"
                                                "0123456789/._-+,:@%") == std::string::npos;
    if (bPlain) return strPath;
    std::string out = "'";
    for (char c : strPath) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void PruneTakes(const std::string& strFolder, int nKeep) {
    std::error_code ec;
    std::vector<fs::path> scripts;
    for (const fs::directory_entry& e : fs::directory_iterator(strFolder, ec)) {
        if (e.path().extension() == ".csv" && e.is_regular_file(ec)) scripts.push_back(e.path());
    }
    if (static_cast<int>(scripts.size()) <= nKeep) return;
    // Date-and-time names sort in time order.
    std::sort(scripts.begin(), scripts.end());
    for (std::size_t i = 0; i + nKeep < scripts.size(); ++i) {
        fs::remove(scripts[i], ec);
        for (const char* ext : {".aly", ".scl", ".kbm"})
            fs::remove(TakeSiblingPath(scripts[i].string(), ext), ec);
    }
}
