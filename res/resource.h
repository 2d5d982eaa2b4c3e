// Ids of the string-table entries the code refers to by name.
#pragma once

// System menu entry for the About box.
constexpr unsigned IDS_ABOUTBOX = 101;
// Background menu entry for the sound device dialog.
constexpr unsigned IDS_DEVICE_MENU = 102;
// Background menu entry for the note guide and pitch correction dialog.
constexpr unsigned IDS_TUNING_MENU = 103;
// Background menu: MIDI out and its modes.
constexpr unsigned IDS_MIDI_MENU = 104;
constexpr unsigned IDS_MIDI_OFF = 105;
constexpr unsigned IDS_MIDI_MPE = 106;
constexpr unsigned IDS_MIDI_SINGLE = 107;
constexpr unsigned IDS_MIDI_UNLIMITED = 108;
// Background menu: MIDI in.
constexpr unsigned IDS_MIDI_IN = 109;
// Background menu: pen tablets, off and the three pressure curves.
constexpr unsigned IDS_TABLET_MENU = 110;
constexpr unsigned IDS_TABLET_OFF = 111;
// Background menu: the language, its two choices, and the word that it applies from the next start.
constexpr unsigned IDS_LANGUAGE_MENU = 115;
constexpr unsigned IDS_LANGUAGE_JA = 116;
constexpr unsigned IDS_LANGUAGE_EN = 117;
constexpr unsigned IDS_LANGUAGE_NEXT_START = 118;

// Registry key and value names.
constexpr unsigned IDS_REG_SUBKEY = 200;
constexpr unsigned IDS_REG_BUFSIZE = 201;
constexpr unsigned IDS_REG_OVERCYCLE = 202;
constexpr unsigned IDS_REG_MAINDLG_T = 203;
constexpr unsigned IDS_REG_MAINDLG_L = 204;
constexpr unsigned IDS_REG_MAINDLG_B = 205;
constexpr unsigned IDS_REG_MAINDLG_R = 206;
constexpr unsigned IDS_REG_BOARD_T = 207;
constexpr unsigned IDS_REG_BOARD_L = 208;
constexpr unsigned IDS_REG_BOARD_B = 209;
constexpr unsigned IDS_REG_BOARD_R = 210;
constexpr unsigned IDS_REG_CACHESIZE = 211;
constexpr unsigned IDS_REG_TONE_PATH = 212;
constexpr unsigned IDS_REG_FIR_PATH = 214;
// Values beyond the thirteen of the settings file, written only once the user has chosen them.
constexpr unsigned IDS_REG_WAVE_DEVICE = 230;
constexpr unsigned IDS_REG_TUNING_GUIDES = 231;
constexpr unsigned IDS_REG_TUNING_QUANTISE = 232;
constexpr unsigned IDS_REG_TUNING_SCALE = 233;
constexpr unsigned IDS_REG_TUNING_KBM = 234;
constexpr unsigned IDS_REG_TUNING_REFERENCE = 235;
constexpr unsigned IDS_REG_MIDI = 236;
constexpr unsigned IDS_REG_MIDI_UNLIMITED = 237;
constexpr unsigned IDS_REG_TUNING_STRENGTH = 238;
constexpr unsigned IDS_REG_MIDI_IN = 239;
constexpr unsigned IDS_REG_TABLET = 240;
constexpr unsigned IDS_REG_LANGUAGE = 241;

// Messages of the play command and the parameter derivation.
constexpr unsigned IDS_ERR_BUFFER = 1000;
constexpr unsigned IDS_ERR_RANGE = 1001;
constexpr unsigned IDS_ERR_MOD_RATIO = 1002;
constexpr unsigned IDS_ERR_MOD_STRENGTH = 1003;
constexpr unsigned IDS_ERR_LEFT_SHIFT = 1005;
constexpr unsigned IDS_ERR_RIGHT_SHIFT = 1006;
constexpr unsigned IDS_ERR_WAVE_OUT = 1007;
constexpr unsigned IDS_ERR_DISTORTION = 1008;
constexpr unsigned IDS_ERR_FEEDBACK = 1009;
constexpr unsigned IDS_ERR_ACCOMP_NAME = 1010;
constexpr unsigned IDS_ERR_CACHE = 1011;
constexpr unsigned IDS_ERR_FIR_VOLUME = 1012;

// The board's key guide.
constexpr unsigned IDS_GUIDE_ESC = 2000;
constexpr unsigned IDS_GUIDE_LEFT = 2001;
constexpr unsigned IDS_GUIDE_RIGHT = 2002;
constexpr unsigned IDS_GUIDE_DOWN = 2003;
constexpr unsigned IDS_GUIDE_UP = 2004;

constexpr unsigned IDS_ERR_RANGE_ADJUST = 2005;

// Files.
constexpr unsigned IDS_ERR_TONE_WRITE = 2100;
constexpr unsigned IDS_ERR_TONE_READ = 2101;
constexpr unsigned IDS_ERR_FILE_OPEN = 2200;
constexpr unsigned IDS_ERR_FILE_FORMAT = 2201;
constexpr unsigned IDS_ERR_OUTPUT_OPEN = 2202;
constexpr unsigned IDS_ERR_FILTER_WAVE = 2203;
constexpr unsigned IDS_ERR_OUT_OF_MEMORY = 3000;
// The note guide and pitch correction dialog.
constexpr unsigned IDS_ERR_TUNING_REFERENCE = 2300;
constexpr unsigned IDS_ERR_TUNING_SCALE = 2301;
constexpr unsigned IDS_ERR_TUNING_STRENGTH = 2302;

// The framework's data-exchange messages.
constexpr unsigned AFX_IDP_PARSE_INT = 61712;
constexpr unsigned AFX_IDP_PARSE_INT_RANGE = 61714;
