// Dialog data exchange: moving values between a dialog's controls and its members, in either
// direction, with the framework's integer checks and messages (61712, 61714).
#pragma once

#include <string>

#include "platform/qt/dialog.h"

// An edit's text.
void DDX_Text(CDataExchange* pDX, int nId, std::string& value);
// An edit's text as an integer in [nMin, nMax]: a decimal integer with optional blanks or tabs
// around it and an optional sign (else message 61712), within the range (else 61714 naming the
// bounds). On failure the edit gets the focus with its whole text selected.
void DDX_TextInt(CDataExchange* pDX, int nId, int& value, int nMin, int nMax);
// A check box's state: 0, 1, or 2 (indeterminate); a value outside 0..2 is written as 0.
void DDX_Check(CDataExchange* pDX, int nId, int& value);
// The index of the checked radio button of the group starting at nFirstId, -1 when none.
void DDX_Radio(CDataExchange* pDX, int nFirstId, int& value);
// A trackbar's position.
void DDX_Slider(CDataExchange* pDX, int nId, int& value);

// The framework's reading of an integer text; false when it is not one.
bool ParseDialogInt(const std::string& text, int& value);
