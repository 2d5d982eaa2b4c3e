// The application shell: runs the main dialog modally; the program ends when it closes.
#pragma once

class CAerolyreApp {
public:
    // Sets up the dialog framework and the message boxes, runs the main dialog, and returns
    // FALSE so the program ends.
    int InitInstance();
};
