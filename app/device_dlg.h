// The sound device dialog: the output devices of this system, the default first; the choice is
// a device name for the wave output ("" for the default).
#pragma once

#include <string>
#include <vector>

#include "platform/qt/dialog.h"

class CDeviceDlg : public CDialog {
public:
    // names: the devices to offer; strCurrent: the name chosen now, kept in the list even when
    // the device is not there at the moment (a JACK server that is not running).
    CDeviceDlg(QWidget* pParent, std::vector<std::string> names, std::string strCurrent);

    std::string m_strDevice;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::vector<std::string> m_names;  // item i + 1 is m_names[i]; item 0 is the default
};
