// Take files: names, folder, pruning.
#include "files/takes.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
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

namespace {

// Whether a script holds a row at all: a program killed before its first write leaves only the
// header, which renders nothing.
bool HasRows(const fs::path& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') return true;
    }
    return false;
}

void RemoveTake(const fs::path& script, std::error_code& ec) {
    fs::remove(script, ec);
    for (const char* ext : {".aly", ".scl", ".kbm"}) fs::remove(TakeSiblingPath(script.string(), ext), ec);
}

}  // namespace

void PruneTakes(const std::string& strFolder, int nKeep) {
    std::error_code ec;
    std::vector<fs::path> scripts;
    for (const fs::directory_entry& e : fs::directory_iterator(strFolder, ec)) {
        if (e.path().extension() != ".csv" || !e.is_regular_file(ec)) continue;
        // Takes without rows are never counted; one left for a minute is no other program's
        // take that is just starting, and goes.
        if (!HasRows(e.path())) {
            if (fs::file_time_type::clock::now() - e.last_write_time(ec) > std::chrono::minutes(1))
                RemoveTake(e.path(), ec);
            continue;
        }
        scripts.push_back(e.path());
    }
    if (static_cast<int>(scripts.size()) <= nKeep) return;
    // Date-and-time names sort in time order.
    std::sort(scripts.begin(), scripts.end());
    for (std::size_t i = 0; i + nKeep < scripts.size(); ++i) RemoveTake(scripts[i], ec);
}
