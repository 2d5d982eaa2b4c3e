// The XDG base folders: the variable's value when set and not empty, else the usual place under
// $HOME (or the current folder without a home).
#pragma once

#include <cstdlib>
#include <string>

inline std::string XdgBaseDir(const char* pszVariable, const char* pszUnderHome) {
    if (const char* x = std::getenv(pszVariable); x != nullptr && *x != '\0') return x;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        return std::string(h) + "/" + pszUnderHome;
    return ".";
}
