// Where takes are kept: $XDG_DATA_HOME/aerolyre/takes (default ~/.local/share/aerolyre/takes),
// one gesture script and its tone file per play session (with copies of the scale and keyboard
// map it played in), named by date and time, the newest 100 kept.
#pragma once

#include <string>

constexpr int kTakesKept = 100;

std::string TakeFolder();
// A new take's script path in the folder (created); empty, with the reason in strError, when the
// folder cannot be made.
std::string NewTakePath(std::string& strError);
// A file beside a take's script: the same name with another extension (".aly", ".scl", ".kbm").
std::string TakeSiblingPath(const std::string& strScript, const char* pszExtension);
// The tone file beside a take's script: the same name with .aly.
inline std::string TakeTonePath(const std::string& strScript) { return TakeSiblingPath(strScript, ".aly"); }
// A path as a POSIX shell reads it back: as it is when it has no special characters, else quoted.
std::string ShellQuoted(const std::string& strPath);
// Removes the oldest takes of the folder (script and tone) beyond the newest nKeep.
void PruneTakes(const std::string& strFolder, int nKeep = kTakesKept);
