// The language the program speaks: Japanese, its own, or English from the translations built
// into it. Chosen once, at start: the command line's choice, else AEROLYRE_LANGUAGE's, else the
// one kept in the settings, else Japanese whatever the locale.
#pragma once

#include <string>

// The language a code names ("en", "ja", or a locale's name such as "en_GB.UTF-8"): "en" or
// "ja"; empty when it names neither.
std::string LanguageOf(const std::string& strCode);

// The language for this run: the first of the command line's, the environment's and the kept
// choice that names one, "ja" when none does. A variable that names none gets one line on stderr.
std::string ChooseLanguage(const std::string& strGiven, const char* pszEnvironment,
                           const std::string& strKept);

// The language kept in the settings: "ja", "en", or empty when none was chosen.
std::string KeptLanguage();

// Speaks strLanguage from here on: its translations go to Qt and to the instrument's own texts.
// Once, before any dialog is built or any other thread started. False when the translations
// cannot be loaded, and Japanese stays.
bool UseLanguage(const std::string& strLanguage);

// pszText (in the program's own words) in strLanguage, whatever this run speaks: for the one message that
// answers the choice of a language in that language.
std::string TextIn(const std::string& strLanguage, const char* pszText);
