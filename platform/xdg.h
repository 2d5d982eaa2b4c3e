// The XDG base folders: the variable's value when set and not empty, else the usual place under the
// home folder ($HOME, else the password database's); empty when there is no home at all, so that
// nothing lands in whatever folder the program started in.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

inline std::string HomeDir() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') return h;
    const long nSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(nSize > 0 ? static_cast<std::size_t>(nSize) : 16384);
    passwd pw{};
    passwd* pResult = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &pResult) == 0 && pResult != nullptr &&
        pw.pw_dir != nullptr && *pw.pw_dir != '\0')
        return pw.pw_dir;
    return {};
}

inline std::string XdgBaseDir(const char* pszVariable, const char* pszUnderHome) {
    if (const char* x = std::getenv(pszVariable); x != nullptr && *x != '\0') return x;
    const std::string home = HomeDir();
    return home.empty() ? std::string() : home + "/" + pszUnderHome;
}

// Why a folder under the home cannot be had, for the line that says so.
constexpr const char kNoHomeReason[] = "there is no home folder (HOME is not set and the user has none)";
