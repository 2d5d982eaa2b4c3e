// The language of the texts the program shows. Every text is written in Japanese, the program's
// own language, and is shown as written unless translations were installed at start.
#pragma once

#include <string>
#include <unordered_map>

// Installs the translations (Japanese text to its translation) for this run, under the language's
// code ("en"). Once, at start, before any other thread runs: nothing changes them after, so
// reading them needs no lock.
void InstallTranslations(const std::string& strLanguage,
                         std::unordered_map<std::string, std::string> translations);

// The code of the language texts are shown in: "ja" unless translations were installed.
const std::string& ShownLanguage();

// The text to show for pszText: its translation, or pszText itself where there is none.
const char* ShownText(const char* pszText);
