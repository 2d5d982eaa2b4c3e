// The render tool's gesture script: lines "sample,x,y,left,right" that set the pointer and the
// buttons from an output sample index on, lines "sample,correction,on" or "...,off" that switch
// the pitch correction there (as Q on the board does), and lines "sample,midi,90 3c 64" that play
// a MIDI channel message (hexadecimal bytes) there, as MIDI in does. The last row only marks the
// end. '#' starts a comment; a header line "sample,x,y,left,right" may stand before the first row.
// A last line without its newline that does not read (a take cut short by a kill) is left out,
// with a note.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

struct GestureRow {
    std::uint64_t nSample;
    double dX;
    double dY;
    bool bLeft;
    bool bRight;
    int nCorrection = -1;    // a correction row: 1 on, 0 off; -1 for a pointer row
    double dModScale = 1.0;  // an optional sixth field: a pen's share of the modulation strength
    int nMidiSize = 0;       // a MIDI row: its message's bytes
    unsigned char midi[3] = {};
};

// Parses a script; on failure returns false with a reason naming the line. strNote tells of a cut
// last line that was left out.
bool ParseGestureScript(std::istream& in, std::vector<GestureRow>& rows, std::string& strError,
                        std::string* pNote = nullptr);
