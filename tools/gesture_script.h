// The render tool's gesture script: lines "sample,x,y,left,right" that set the pointer and the
// buttons from an output sample index on, and lines "sample,correction,on" or "...,off" that switch
// the pitch correction there (as Q on the board does). The last row only marks the end. '#' starts
// a comment; a header line "sample,x,y,left,right" may stand before the first row.
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
};

// Parses a script; on failure returns false with a reason naming the line.
bool ParseGestureScript(std::istream& in, std::vector<GestureRow>& rows, std::string& strError);
