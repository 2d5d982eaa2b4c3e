// Settings that survive a restart: the processing settings, the last file paths and the window
// rectangles, restored while the main dialog initialises and saved when it is destroyed.
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/aerolyre_dlg.h"
#include "app/language.h"
#include "app/settings_key.h"
#include "engine/tone_parameters.h"
#include "platform/message_service.h"
#include "platform/registry.h"
#include "platform/wave_out.h"
#include "res/string_table.h"

namespace {

constexpr DWORD kStringBuffer = 256;   // bytes, terminator included
constexpr LONG kSentinelFar = 100000;  // a rectangle no saved window reaches
constexpr LONG kSentinelPoint = 99999;

// Opens (creating when missing) the settings key; false when it cannot be had.
bool OpenSettingsKey(CSettingsKey& key) {
    // The subkey is copied into a fixed buffer of 512 characters.
    char szSubKey[512] = {};
    std::strncpy(szSubKey, ResString(IDS_REG_SUBKEY).c_str(), sizeof szSubKey - 1);
    DWORD dwDisposition = 0;
    return RegCreateKeyExA(HKEY_CURRENT_USER, szSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key.m_hKey, &dwDisposition) == ERROR_SUCCESS;
}

bool QueryString(HKEY hKey, UINT nName, std::string& value) {
    char buf[kStringBuffer];
    DWORD cb = sizeof buf;
    DWORD dwType = 0;
    if (RegQueryValueExA(hKey, ResString(nName).c_str(), nullptr, &dwType, reinterpret_cast<BYTE*>(buf),
                         &cb) != ERROR_SUCCESS) {
        return false;
    }
    // A value of another type is read as the bytes it holds, up to the first zero.
    value.assign(buf, strnlen(buf, cb));
    return true;
}

bool QueryDword(HKEY hKey, UINT nName, LONG& value) {
    BYTE buf[4];
    DWORD cb = sizeof buf;
    DWORD dwType = 0;
    if (RegQueryValueExA(hKey, ResString(nName).c_str(), nullptr, &dwType, buf, &cb) != ERROR_SUCCESS ||
        dwType != REG_DWORD) {
        return false;
    }
    value = static_cast<LONG>(buf[0] | (buf[1] << 8) | (buf[2] << 16) | (static_cast<DWORD>(buf[3]) << 24));
    return true;
}

void SetString(HKEY hKey, UINT nName, const std::string& value) {
    RegSetValueExA(hKey, ResString(nName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void SetDword(HKEY hKey, UINT nName, LONG value) {
    const auto v = static_cast<DWORD>(value);
    const BYTE buf[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                         static_cast<BYTE>(v >> 24)};
    RegSetValueExA(hKey, ResString(nName).c_str(), 0, REG_DWORD, buf, 4);
}

// Reads a rectangle over the sentinel; true when the sentinel point fell outside it, i.e. when
// something was restored.
bool QueryRect(HKEY hKey, UINT nLeft, UINT nTop, UINT nBottom, UINT nRight, RECT& rc) {
    rc = RECT{0, 0, kSentinelFar, kSentinelFar};
    QueryDword(hKey, nLeft, rc.left);
    QueryDword(hKey, nTop, rc.top);
    QueryDword(hKey, nBottom, rc.bottom);
    QueryDword(hKey, nRight, rc.right);
    const bool bInside = rc.left <= kSentinelPoint && kSentinelPoint < rc.right && rc.top <= kSentinelPoint &&
                         kSentinelPoint < rc.bottom;
    return !bInside;
}

}  // namespace

std::string KeptLanguage() {
    CSettingsKey key;
    std::string text;
    if (!OpenSettingsKey(key) || !QueryString(key.m_hKey, IDS_REG_LANGUAGE, text)) return {};
    return LanguageOf(text);
}

void CAerolyreDlg::RestoreSettings() {
    CSettingsKey key;
    if (!OpenSettingsKey(key)) return;

    LONG nTop = 0;
    if (QueryDword(key.m_hKey, IDS_REG_OVERCYCLE, nTop) && nTop >= 0 && nTop < m_listOvercycle->count()) {
        SetOverCycleTopIndex(nTop);
    }
    std::string text;
    m_editBuffer->setText(QString::fromStdString(QueryString(key.m_hKey, IDS_REG_BUFSIZE, text)
                                                     ? text
                                                     : DefaultText(ToneParameterOf(ToneParam::Buffer))));
    m_editCache->setText(QString::fromStdString(QueryString(key.m_hKey, IDS_REG_CACHESIZE, text)
                                                    ? text
                                                    : DefaultText(ToneParameterOf(ToneParam::Cache))));
    if (QueryString(key.m_hKey, IDS_REG_TONE_PATH, text)) m_strTonePath = text;
    if (QueryString(key.m_hKey, IDS_REG_FIR_PATH, text)) m_strFirPath = text;
    LONG nValue = 0;
    if (QueryDword(key.m_hKey, IDS_REG_MIDI, nValue) && nValue >= 0 && nValue <= 2) {
        m_bMidiStored = true;
        m_nMidiMode = nValue;
    }
    if (QueryDword(key.m_hKey, IDS_REG_MIDI_UNLIMITED, nValue)) m_bMidiUnlimited = nValue != 0;
    if (QueryDword(key.m_hKey, IDS_REG_TABLET, nValue) && nValue >= 0 && nValue < kTabletModeCount) {
        m_tabletMode = static_cast<TabletMode>(nValue);
        m_bTabletStored = true;
    }
    if (QueryString(key.m_hKey, IDS_REG_LANGUAGE, text)) m_strLanguage = LanguageOf(text);
    if (QueryDword(key.m_hKey, IDS_REG_MIDI_IN, nValue)) {
        m_bMidiIn = nValue != 0;
        m_bMidiInStored = true;
    }
    if (QueryDword(key.m_hKey, IDS_REG_TUNING_GUIDES, nValue)) {
        m_tuningChoice.bGuides = nValue != 0;
        m_bTuningStored = true;
    }
    if (QueryDword(key.m_hKey, IDS_REG_TUNING_QUANTISE, nValue)) m_tuningChoice.bQuantise = nValue != 0;
    if (QueryString(key.m_hKey, IDS_REG_TUNING_SCALE, text)) m_tuningChoice.strScale = text;
    if (QueryString(key.m_hKey, IDS_REG_TUNING_KBM, text)) m_tuningChoice.strKbm = text;
    if (QueryDword(key.m_hKey, IDS_REG_TUNING_STRENGTH, nValue) && nValue >= 0 && nValue <= 100) {
        m_tuningChoice.nStrength = static_cast<int>(nValue);
    }
    if (QueryString(key.m_hKey, IDS_REG_TUNING_REFERENCE, text)) {
        const double dRef = std::strtod(text.c_str(), nullptr);
        m_tuningChoice.dReference = dRef >= 1.0 && dRef <= 20000.0 ? dRef : 0.0;
    }
    if (QueryString(key.m_hKey, IDS_REG_WAVE_DEVICE, text)) {
        m_strWaveDevice = text;
        m_bWaveDeviceStored = true;
        // The command line and then the environment come before the saved choice.
        if (!s_bDeviceGiven && std::getenv("AEROLYRE_WAVE_DEVICE") == nullptr)
            SetWaveOutDevice(m_strWaveDevice);
    }

    RECT rc;
    if (QueryRect(key.m_hKey, IDS_REG_MAINDLG_L, IDS_REG_MAINDLG_T, IDS_REG_MAINDLG_B, IDS_REG_MAINDLG_R,
                  rc)) {
        // Only the top-left corner is applied: the main dialog is not resizable.
        const RECT now = GetWindowRect();
        MoveWindow(RECT{rc.left, rc.top, rc.left + (now.right - now.left), rc.top + (now.bottom - now.top)});
    }
    if (QueryRect(key.m_hKey, IDS_REG_BOARD_L, IDS_REG_BOARD_T, IDS_REG_BOARD_B, IDS_REG_BOARD_R, rc)) {
        m_rectBoard = rc;
    }
    key.Close();
}

void CAerolyreDlg::SaveSettings() {
    CSettingsKey key;
    if (!OpenSettingsKey(key)) {
        const std::string strProblem = RegistryFileProblem();
        LogLine("the settings were not saved: " + (strProblem.empty() ? RegistryFilePath() : strProblem));
        return;
    }
    SetDword(key.m_hKey, IDS_REG_OVERCYCLE, GetOverCycleTopIndex());
    SetString(key.m_hKey, IDS_REG_BUFSIZE, m_editBuffer->text().toStdString());
    SetString(key.m_hKey, IDS_REG_CACHESIZE, m_editCache->text().toStdString());
    SetString(key.m_hKey, IDS_REG_TONE_PATH, m_strTonePath);
    SetString(key.m_hKey, IDS_REG_FIR_PATH, m_strFirPath);
    const RECT rc = GetWindowRect();
    SetDword(key.m_hKey, IDS_REG_MAINDLG_L, rc.left);
    SetDword(key.m_hKey, IDS_REG_MAINDLG_T, rc.top);
    SetDword(key.m_hKey, IDS_REG_MAINDLG_B, rc.bottom);
    SetDword(key.m_hKey, IDS_REG_MAINDLG_R, rc.right);
    SetDword(key.m_hKey, IDS_REG_BOARD_L, m_rectBoard.left);
    SetDword(key.m_hKey, IDS_REG_BOARD_T, m_rectBoard.top);
    SetDword(key.m_hKey, IDS_REG_BOARD_B, m_rectBoard.bottom);
    SetDword(key.m_hKey, IDS_REG_BOARD_R, m_rectBoard.right);
    if (m_bWaveDeviceStored || !m_strWaveDevice.empty())
        SetString(key.m_hKey, IDS_REG_WAVE_DEVICE, m_strWaveDevice);
    if (m_bMidiStored) {
        SetDword(key.m_hKey, IDS_REG_MIDI, m_nMidiModeKept >= 0 ? m_nMidiModeKept : m_nMidiMode);
        SetDword(key.m_hKey, IDS_REG_MIDI_UNLIMITED, m_bMidiUnlimited ? 1 : 0);
    }
    if (m_bMidiInStored) SetDword(key.m_hKey, IDS_REG_MIDI_IN, m_bMidiIn ? 1 : 0);
    if (m_bTabletStored) SetDword(key.m_hKey, IDS_REG_TABLET, static_cast<int>(m_tabletMode));
    if (!m_strLanguage.empty()) SetString(key.m_hKey, IDS_REG_LANGUAGE, m_strLanguage);
    if (m_bTuningStored) {
        SetDword(key.m_hKey, IDS_REG_TUNING_GUIDES, m_tuningChoice.bGuides ? 1 : 0);
        SetDword(key.m_hKey, IDS_REG_TUNING_QUANTISE, m_tuningChoice.bQuantise ? 1 : 0);
        SetString(key.m_hKey, IDS_REG_TUNING_SCALE, m_tuningChoice.strScale);
        SetString(key.m_hKey, IDS_REG_TUNING_KBM, m_tuningChoice.strKbm);
        char sz[32];
        std::snprintf(sz, sizeof sz, "%.10g", m_tuningChoice.dReference);
        SetString(key.m_hKey, IDS_REG_TUNING_REFERENCE, sz);
        SetDword(key.m_hKey, IDS_REG_TUNING_STRENGTH, m_tuningChoice.nStrength);
    }
    key.Close();
}
