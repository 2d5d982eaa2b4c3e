// Where takes are kept: $XDG_DATA_HOME/aerolyre/takes (default ~/.local/share/aerolyre/takes),
// one gesture script and its tone file per play session, named by date and time, the newest 100
// kept.
#pragma once

#include <string>

constexpr int kTakesKept = 100;

std::string TakeFolder();
// A new take's script path in the folder (created); empty, with the reason in strError, when the
// folder cannot be made.
std::string NewTakePath(std::string& strError);
// The tone file beside a take's script: the same name with .aly.
std::string TakeTonePath(const std::string& strScript);
// Removes the oldest takes of the folder (script and tone) beyond the newest nKeep.
void PruneTakes(const std::string& strFolder, int nKeep = kTakesKept);
