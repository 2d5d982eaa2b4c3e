// The dialog templates of the instrument: the About box, the main dialog, the performance board
// and the three settings dialogs.
#pragma once

#include "platform/dialog_template.h"

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_AEROLYRE_DIALOG = 102;
constexpr int IDD_BOARD = 129;
constexpr int IDD_FIR = 130;
constexpr int IDD_ACCOMP = 131;
constexpr int IDD_RECORD = 132;

// The template with this id; every id above has one.
const DialogTemplate& GetDialogTemplate(int nId);
