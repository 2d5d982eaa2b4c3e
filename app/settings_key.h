// The holder of the open settings key: closing it twice is harmless, and it closes on destruction,
// also when an error unwinds the code that opened it.
#pragma once

#include "platform/registry.h"

class CSettingsKey {
public:
    CSettingsKey() = default;
    virtual ~CSettingsKey() { Close(); }
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

    void Close() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
            m_hKey = nullptr;
        }
    }

    HKEY m_hKey = nullptr;
};
