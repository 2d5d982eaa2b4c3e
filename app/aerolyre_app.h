// The application shell: runs the main dialog modally; the program ends when it closes.
#pragma once

#include <string>

class CAerolyreApp {
public:
    // Chooses the language, sets up the dialog framework and the message boxes, runs the main
    // dialog, and returns FALSE so the program ends.
    int InitInstance();

    // --language on the command line: for this run ("ja", "en"; empty: not given).
    static inline std::string s_strLanguageGiven;
};
