// The dialog templates of the instrument: the About box, the main dialog, the performance board
// the three settings dialogs and the sound device dialog.
#pragma once

#include <vector>

#include "platform/dialog_template.h"

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_AEROLYRE_DIALOG = 102;
constexpr int IDD_BOARD = 129;
constexpr int IDD_FIR = 130;
constexpr int IDD_ACCOMP = 131;
constexpr int IDD_RECORD = 132;
constexpr int IDD_DEVICE = 133;
constexpr int IDD_TUNING = 134;

// The template with this id; every id above has one.
const DialogTemplate& GetDialogTemplate(int nId);

// Every caption and control text of the templates, in the program's own words: what the
// translations cover.
std::vector<const char*> DialogTexts();
