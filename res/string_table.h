// The instrument's string table: every message, caption and registry value name it uses, by id.
// Texts are UTF-8, kept exactly as the program shows them.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"
#include "res/resource.h"

// The text of string id nId as shown (translated where translations are installed; registry
// names never are), or nullptr when the table has no such entry.
const char* LoadResString(UINT nId);

// The text of string id nId in the program's own words, whatever language it speaks.
const char* LoadResStringAsWritten(UINT nId);

// The text of string id nId, or an empty string when the table has no such entry.
std::string ResString(UINT nId);

// The table's texts that the program shows, in its own words: what the translations cover.
std::vector<const char*> ShownTableTexts();
