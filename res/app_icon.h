// The application icon, resource 128, in two sizes of 16 colours at most, as XPM data.
#pragma once

constexpr int IDR_MAINFRAME = 128;

extern const char* const kAppIcon32[];
extern const char* const kAppIcon16[];
