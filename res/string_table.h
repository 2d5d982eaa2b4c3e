// The instrument's string table: every message, caption and registry value name it uses, by id.
// Texts are UTF-8, kept exactly as the program shows them.
#pragma once

#include <string>

#include "platform/win_types.h"
#include "res/resource.h"

// The text of string id nId, or nullptr when the table has no such entry.
const char* LoadResString(UINT nId);

// The text of string id nId, or an empty string when the table has no such entry.
std::string ResString(UINT nId);
